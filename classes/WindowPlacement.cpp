// The window placement record: byte layout and the mapping onto a widget's geometry and state.
#include "classes/WindowPlacement.h"

#include <QWidget>
#include <algorithm>

namespace {

void Put32(std::uint8_t *ADest, std::uint32_t AValue) {
  for (int I = 0; I < 4; ++I)
    ADest[I] = std::uint8_t(AValue >> (8 * I));
}

std::uint32_t Get32(const std::uint8_t *ASource) {
  return std::uint32_t(ASource[0]) | (std::uint32_t(ASource[1]) << 8) |
         (std::uint32_t(ASource[2]) << 16) | (std::uint32_t(ASource[3]) << 24);
}

// Coordinates far outside any screen are a corrupt record, not a request; keep them sane.
constexpr int CoordinateLimit = 1 << 20;

int Clamp(std::int64_t AValue, std::int64_t ALow, std::int64_t AHigh) {
  return int(std::clamp(AValue, ALow, AHigh));
}

// A child's normal rectangle while it is maximised or minimised is not published by the
// toolkit; the window is shown normal for the moment it takes to read it.
QRect NormalGeometry(QWidget &AWidget) {
  if (AWidget.isWindow()) {
    QRect Normal = AWidget.normalGeometry();
    return Normal.isValid() ? Normal : AWidget.geometry();
  }
  Qt::WindowStates State = AWidget.windowState();
  if (!(State & (Qt::WindowMaximized | Qt::WindowMinimized)) || !AWidget.isVisible())
    return AWidget.geometry();
  const bool Updates = AWidget.updatesEnabled();
  AWidget.setUpdatesEnabled(false);
  AWidget.showNormal();
  QRect Normal = AWidget.geometry();
  if (State & Qt::WindowMinimized)
    AWidget.showMinimized();
  else
    AWidget.showMaximized();
  AWidget.setUpdatesEnabled(Updates);
  return Normal;
}

} // namespace

std::array<std::uint8_t, TWindowPlacement::RecordSize> TWindowPlacement::ToBytes() const {
  std::array<std::uint8_t, RecordSize> Bytes{};
  const std::uint32_t Fields[11] = {Length,
                                    Flags,
                                    ShowCmd,
                                    std::uint32_t(MinX),
                                    std::uint32_t(MinY),
                                    std::uint32_t(MaxX),
                                    std::uint32_t(MaxY),
                                    std::uint32_t(Left),
                                    std::uint32_t(Top),
                                    std::uint32_t(Right),
                                    std::uint32_t(Bottom)};
  for (int I = 0; I < 11; ++I)
    Put32(Bytes.data() + 4 * I, Fields[I]);
  return Bytes;
}

TWindowPlacement TWindowPlacement::FromBytes(const std::array<std::uint8_t, RecordSize> &ABytes) {
  TWindowPlacement P;
  const std::uint8_t *B = ABytes.data();
  P.Length = Get32(B);
  if (P.Length != RecordSize)
    throw EReadError("Invalid window placement record");
  P.Flags = Get32(B + 4);
  P.ShowCmd = Get32(B + 8);
  P.MinX = std::int32_t(Get32(B + 12));
  P.MinY = std::int32_t(Get32(B + 16));
  P.MaxX = std::int32_t(Get32(B + 20));
  P.MaxY = std::int32_t(Get32(B + 24));
  P.Left = std::int32_t(Get32(B + 28));
  P.Top = std::int32_t(Get32(B + 32));
  P.Right = std::int32_t(Get32(B + 36));
  P.Bottom = std::int32_t(Get32(B + 40));
  return P;
}

TWindowPlacement GetWindowPlacement(QWidget &AWidget) {
  TWindowPlacement P;
  const Qt::WindowStates State = AWidget.windowState();
  QRect Normal = NormalGeometry(AWidget);
  P.Left = Normal.left();
  P.Top = Normal.top();
  P.Right = Normal.left() + Normal.width();
  P.Bottom = Normal.top() + Normal.height();
  if (AWidget.isHidden() && !AWidget.isWindow())
    P.ShowCmd = TWindowPlacement::SW_HIDE;
  else if (State & Qt::WindowMinimized) {
    P.ShowCmd = TWindowPlacement::SW_SHOWMINIMIZED;
    if (State & Qt::WindowMaximized)
      P.Flags |= TWindowPlacement::WPF_RESTORETOMAXIMIZED;
  } else if (State & Qt::WindowMaximized)
    P.ShowCmd = TWindowPlacement::SW_SHOWMAXIMIZED;
  else
    P.ShowCmd = TWindowPlacement::SW_SHOWNORMAL;
  return P;
}

void SetWindowPlacement(QWidget &AWidget, const TWindowPlacement &APlacement) {
  const int Left = Clamp(APlacement.Left, -CoordinateLimit, CoordinateLimit);
  const int Top = Clamp(APlacement.Top, -CoordinateLimit, CoordinateLimit);
  const int Width = Clamp(std::int64_t(APlacement.Right) - APlacement.Left, 0, CoordinateLimit);
  const int Height = Clamp(std::int64_t(APlacement.Bottom) - APlacement.Top, 0, CoordinateLimit);
  if (AWidget.windowState() & (Qt::WindowMaximized | Qt::WindowMinimized))
    AWidget.showNormal();
  AWidget.setGeometry(Left, Top, Width, Height);
  switch (APlacement.ShowCmd) {
  case TWindowPlacement::SW_HIDE:
    AWidget.hide();
    break;
  case TWindowPlacement::SW_SHOWMINIMIZED:
  case TWindowPlacement::SW_MINIMIZE:
  case TWindowPlacement::SW_SHOWMINNOACTIVE:
    AWidget.showMinimized();
    break;
  case TWindowPlacement::SW_SHOWMAXIMIZED:
    AWidget.showMaximized();
    break;
  default:
    AWidget.show();
    break;
  }
}

void WritePlacement(TValueWriter &AWriter, QWidget &AWidget) {
  std::array<std::uint8_t, TWindowPlacement::RecordSize> Bytes =
      GetWindowPlacement(AWidget).ToBytes();
  AWriter.Write(Bytes.data(), Bytes.size());
}

void ReadPlacement(TValueReader &AReader, QWidget &AWidget) {
  std::array<std::uint8_t, TWindowPlacement::RecordSize> Bytes;
  AReader.Read(Bytes.data(), Bytes.size());
  SetWindowPlacement(AWidget, TWindowPlacement::FromBytes(Bytes));
}
