// The 44-byte window placement record of the desktop file, taken from and applied to a widget.
#pragma once

#include "classes/ValueStream.h"

#include <array>
#include <cstdint>

class QWidget;

// Laid out as the platform's placement structure: eleven little-endian 32-bit fields.
struct TWindowPlacement {
  static constexpr std::uint32_t RecordSize = 44;
  // Flags.
  static constexpr std::uint32_t WPF_SETMINPOSITION = 1, WPF_RESTORETOMAXIMIZED = 2;
  // Show states.
  static constexpr std::uint32_t SW_HIDE = 0, SW_SHOWNORMAL = 1, SW_SHOWMINIMIZED = 2,
                                 SW_SHOWMAXIMIZED = 3, SW_MINIMIZE = 6, SW_SHOWMINNOACTIVE = 7;

  std::uint32_t Length = RecordSize;
  std::uint32_t Flags = 0;
  std::uint32_t ShowCmd = SW_SHOWNORMAL;
  std::int32_t MinX = -1, MinY = -1; // minimised position; -1 lets the frame choose
  std::int32_t MaxX = -1, MaxY = -1; // maximised position
  std::int32_t Left = 0, Top = 0, Right = 0, Bottom = 0; // normal rectangle, parent coordinates

  std::array<std::uint8_t, RecordSize> ToBytes() const;
  // Raises EReadError when the length field is not 44: a record of some other layout.
  static TWindowPlacement FromBytes(const std::array<std::uint8_t, RecordSize> &ABytes);

  bool operator==(const TWindowPlacement &) const = default;
};

// The placement of a widget: its normal geometry (for a child, in its parent's coordinates)
// and whether it is minimised, maximised or hidden.
TWindowPlacement GetWindowPlacement(QWidget &AWidget);
// Moves and sizes the widget to the normal rectangle (clamped to sizes the toolkit accepts)
// and then gives it the recorded state.
void SetWindowPlacement(QWidget &AWidget, const TWindowPlacement &APlacement);

// The raw 44-byte block in a value stream.
void WritePlacement(TValueWriter &AWriter, QWidget &AWidget);
void ReadPlacement(TValueReader &AReader, QWidget &AWidget);
