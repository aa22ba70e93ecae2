// The streamable font's defaults and its passage to and from Qt's font.
#include "classes/Font.h"

#include "tests/QtTestEnvironment.h"
#include <QGuiApplication>

#include <gtest/gtest.h>

namespace {

const auto *const Environment =
    ::testing::AddGlobalTestEnvironment(new TQtEnvironment<QGuiApplication>("FontTest"));

} // namespace

TEST(Font, QtFontCarriesNameSizeStylesAndPitch) {
  TFont Font("Courier New", 10);
  Font.SetStyle(fsBold | fsStrikeOut);
  Font.SetPitch(TFontPitch::fpFixed);
  Font.SetColor(clNavy);
  QFont Qt = Font.ToQFont();
  EXPECT_EQ(Qt.family(), "Courier New");
  EXPECT_EQ(Qt.pointSize(), 10);
  EXPECT_TRUE(Qt.bold());
  EXPECT_FALSE(Qt.italic());
  EXPECT_TRUE(Qt.strikeOut());
  EXPECT_TRUE(Qt.fixedPitch());

  // A font dialog's answer replaces everything but the colour, which Qt fonts do not have.
  QFont Chosen("Arial", 14);
  Chosen.setItalic(true);
  Font.AssignQFont(Chosen);
  EXPECT_EQ(Font.Name(), "Arial");
  EXPECT_EQ(Font.Size(), 14);
  EXPECT_EQ(Font.Style(), fsItalic);
  EXPECT_EQ(Font.Pitch(), TFontPitch::fpDefault);
  EXPECT_EQ(Font.Color(), clNavy);

  // A pixel-sized Qt font has no point size; the old size stays rather than becoming -1.
  QFont Pixels("Arial");
  Pixels.setPixelSize(20);
  Font.AssignQFont(Pixels);
  EXPECT_EQ(Font.Size(), 14);
}

TEST(Font, DescriptionListsTheSubPropertiesWithTheClassDefaults) {
  std::vector<std::string> Names;
  for (const TPropertyInfo &Info : TFont::Properties().Properties())
    Names.push_back(Info.Name);
  EXPECT_EQ(Names, (std::vector<std::string>{"Name", "Size", "Style", "Color", "Pitch"}));
  const TFont Defaults;
  const TPropertyInfo *Color = TFont::Properties().Find("Color");
  ASSERT_NE(Color, nullptr);
  EXPECT_EQ(Color->OrdinalDefault, std::int64_t(Defaults.Color()));
  EXPECT_EQ(TFont::Properties().Find("Name")->StringDefault, Defaults.Name());
}
