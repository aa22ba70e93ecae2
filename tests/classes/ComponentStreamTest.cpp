// The component stream writer and reader against records assembled byte by byte.
#include "classes/ComponentStream.h"
#include "classes/Font.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using TBytes = std::vector<std::uint8_t>;

enum class TShape { Circle, Square, Triangle };

struct TItem {
  int Weight() const { return FWeight; }
  void SetWeight(int AValue) { FWeight = AValue; }
  TColor Color() const { return FColor; }
  void SetColor(TColor AValue) { FColor = AValue; }
  bool operator==(const TItem &) const = default;
  int FWeight = 1;
  TColor FColor = clDefault;
};

// A sample class with one property of every kind.
class TSample {
public:
  int Count() const { return FCount; }
  void SetCount(int AValue) { FCount = AValue; }
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool AValue) { FEnabled = AValue; }
  const std::string &Caption() const { return FCaption; }
  void SetCaption(const std::string &AValue) { FCaption = AValue; }
  TShape Shape() const { return FShape; }
  void SetShape(TShape AValue) { FShape = AValue; }
  TColor Color() const { return FColor; }
  void SetColor(TColor AValue) { FColor = AValue; }
  TFontStyles Style() const { return FStyle; }
  void SetStyle(TFontStyles AValue) { FStyle = AValue; }
  const TFont &Font() const { return FFont; }
  void SetFont(const TFont &AValue) { FFont = AValue; }
  const std::vector<TItem> &Items() const { return FItems; }
  void SetItems(const std::vector<TItem> &AValue) { FItems = AValue; }
  int Secret() const { return FSecret; }
  void SetSecret(int AValue) { FSecret = AValue; }

  int FCount = 5;
  bool FEnabled = true;
  std::string FCaption = "Hello";
  TShape FShape = TShape::Circle;
  TColor FColor = clBtnFace;
  TFontStyles FStyle = 0;
  TFont FFont{"Courier New", 10};
  std::vector<TItem> FItems;
  int FSecret = 0;
  std::vector<std::string> FLines; // streamed by the custom property "D"

  static const TClassProperties &Properties() {
    static const TClassProperties Description = [] {
      TClassProperties Class("TSample");
      static const TClassProperties ItemClass = [] {
        TClassProperties C("TItem");
        TClassProperties::Of<TItem> P(C);
        P.Integer("Weight", &TItem::Weight, &TItem::SetWeight, 1);
        P.Color("Color", &TItem::Color, &TItem::SetColor, clDefault);
        return C;
      }();
      static const TFont InitialFont("Courier New", 10);
      TClassProperties::Of<TSample> P(Class);
      TPropertyInfo &Count = P.Integer("Count", &TSample::Count, &TSample::SetCount, 5);
      Count.Minimum = 0;
      Count.Maximum = 1000;
      P.Boolean("Enabled", &TSample::Enabled, &TSample::SetEnabled, true);
      P.String("Caption", &TSample::Caption, &TSample::SetCaption, std::string("Hello"));
      P.Enumeration("Shape", &TSample::Shape, &TSample::SetShape,
                    {"shCircle", "shSquare", "shTriangle"}, std::optional(TShape::Circle));
      P.Color("Color", &TSample::Color, &TSample::SetColor, clBtnFace);
      P.Set("Style", &TSample::Style, &TSample::SetStyle,
            {"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"}, TFontStyles(0));
      P.Object<TFont>("Font", &TSample::Font, &TSample::SetFont, TFont::Properties(),
                      [] { return &InitialFont; });
      P.Collection<std::vector<TItem>>("Items", &TSample::Items, &TSample::SetItems, ItemClass,
                                       [](const std::vector<TItem> &A) { return A.empty(); });
      P.Integer("Secret", &TSample::Secret, &TSample::SetSecret, std::nullopt).Stored = false;
      // A string list of its own encoding: a list of strings.
      P.Custom(
          "D", [](const TSample &S) { return !S.FLines.empty(); },
          [](TValueWriter &W, const TSample &S) {
            W.WriteListBegin();
            for (const std::string &Line : S.FLines)
              W.WriteString(Line);
            W.WriteListEnd();
          },
          [](TValueReader &R, TSample &S) {
            S.FLines.clear();
            R.ReadListBegin();
            while (!R.EndOfList())
              S.FLines.push_back(R.ReadString());
            R.ReadListEnd();
          });
      return Class;
    }();
    return Description;
  }
};

TComponentRecord RecordOf(TSample &ASample, const std::string &AName = "Sample") {
  TComponentRecord Record;
  Record.ClassName = "TSample";
  Record.Name = AName;
  Record.Object = &ASample;
  Record.Class = &TSample::Properties();
  return Record;
}

TBytes WriteRoot(const TComponentRecord &ARecord) {
  TMemoryStream Stream;
  {
    TValueWriter Writer(Stream);
    TComponentWriter(Writer).WriteRootComponent(ARecord);
    Writer.FlushBuffer();
  }
  return Stream.Bytes();
}

void ReadRoot(const TBytes &ABytes, const TComponentRecord &ARecord) {
  TReadOnlyMemoryStream Stream(ABytes.data(), ABytes.size());
  TValueReader Reader(Stream);
  TComponentReader(Reader).ReadRootComponent(ARecord);
}

// Byte-building helpers that spell out the format: a length byte, then the characters.
void Add(TBytes &ABytes, std::initializer_list<std::uint8_t> AList) {
  ABytes.insert(ABytes.end(), AList);
}
void AddName(TBytes &ABytes, const std::string &AName) {
  ABytes.push_back(std::uint8_t(AName.size()));
  ABytes.insert(ABytes.end(), AName.begin(), AName.end());
}
TBytes Header(const std::string &AClass, const std::string &AName) {
  TBytes Bytes = {'T', 'P', 'F', '0'};
  AddName(Bytes, AClass);
  AddName(Bytes, AName);
  return Bytes;
}

} // namespace

TEST(ComponentStream, DefaultsWriteAnEmptyRecord) {
  TSample Sample;
  TBytes Expected = Header("TSample", "Sample");
  Add(Expected, {0, 0});
  EXPECT_EQ(WriteRoot(RecordOf(Sample)), Expected);
}

TEST(ComponentStream, ChangedPropertiesAreWrittenInTheirOrderAndForm) {
  TSample Sample;
  Sample.FCount = 300;
  Sample.FEnabled = false;
  Sample.FCaption = "Hi";
  Sample.FShape = TShape::Triangle;
  Sample.FColor = clRed;
  Sample.FStyle = fsBold | fsStrikeOut;
  Sample.FFont.SetSize(12);
  Sample.FItems = {TItem{}, TItem{7, 0x123456}};
  Sample.FSecret = 99; // not stored
  Sample.FLines = {"a"};

  TBytes E = Header("TSample", "Sample");
  AddName(E, "Count");
  Add(E, {3, 0x2C, 0x01});
  AddName(E, "Enabled");
  Add(E, {8});
  AddName(E, "Caption");
  Add(E, {6, 2, 'H', 'i'});
  AddName(E, "Shape");
  E.push_back(7);
  AddName(E, "shTriangle");
  AddName(E, "Color");
  E.push_back(7);
  AddName(E, "clRed");
  AddName(E, "Style");
  E.push_back(11);
  AddName(E, "fsBold");
  AddName(E, "fsStrikeOut");
  E.push_back(0);
  // Only the sub-property that differs from the initial font.
  AddName(E, "Font.Size");
  Add(E, {2, 12});
  AddName(E, "Items");
  Add(E, {14, 1, 0, 1});
  AddName(E, "Weight");
  Add(E, {2, 7});
  AddName(E, "Color");
  Add(E, {4, 0x56, 0x34, 0x12, 0x00, 0, 0});
  AddName(E, "D");
  Add(E, {1, 6, 1, 'a', 0});
  Add(E, {0, 0});
  EXPECT_EQ(WriteRoot(RecordOf(Sample)), E);
}

TEST(ComponentStream, ReaderTakesHandAssembledRecords) {
  TBytes B = Header("TSample", "Whatever");
  AddName(B, "D");
  Add(B, {1, 6, 2, 'x', 'y', 6, 0, 0});
  AddName(B, "Color");
  B.push_back(7);
  AddName(B, "clAppWorkSpace");
  AddName(B, "Font.Name");
  Add(B, {6, 5, 'A', 'r', 'i', 'a', 'l'});
  AddName(B, "Font.Style");
  B.push_back(11);
  AddName(B, "fsItalic");
  B.push_back(0);
  AddName(B, "Font.Color");
  Add(B, {4, 0x40, 0x00, 0x00, 0x80}); // a system colour without a name stays a number
  AddName(B, "Font.Pitch");
  B.push_back(7);
  AddName(B, "fpFixed");
  AddName(B, "Secret");
  Add(B, {2, 42}); // not stored, but readable
  AddName(B, "Count");
  Add(B, {4, 0xE8, 0x03, 0, 0});
  AddName(B, "Enabled");
  B.push_back(8);
  AddName(B, "Items");
  Add(B, {14, 1, 0, 1});
  AddName(B, "Color");
  B.push_back(7);
  AddName(B, "clLtGray"); // an alias is read too
  Add(B, {0, 0});
  Add(B, {0, 0});

  TSample Sample;
  ReadRoot(B, RecordOf(Sample));
  EXPECT_EQ(Sample.FLines, (std::vector<std::string>{"xy", ""}));
  EXPECT_EQ(Sample.FColor, clAppWorkSpace);
  EXPECT_EQ(Sample.FFont.Name(), "Arial");
  EXPECT_EQ(Sample.FFont.Size(), 10); // untouched sub-property keeps its value
  EXPECT_EQ(Sample.FFont.Style(), fsItalic);
  EXPECT_EQ(Sample.FFont.Color(), 0x80000040u);
  EXPECT_EQ(Sample.FFont.Pitch(), TFontPitch::fpFixed);
  EXPECT_EQ(Sample.FSecret, 42);
  EXPECT_EQ(Sample.FCount, 1000);
  EXPECT_FALSE(Sample.FEnabled);
  EXPECT_EQ(Sample.FItems, (std::vector<TItem>{TItem{}, TItem{1, clSilver}}));
  EXPECT_EQ(Sample.FCaption, "Hello");
}

TEST(ComponentStream, RoundTripKeepsEveryValue) {
  TSample Sample;
  Sample.FCount = 0;
  Sample.FCaption = std::string(300, 'c'); // the long string form
  Sample.FShape = TShape::Square;
  Sample.FColor = 0x00ABCDEF;
  Sample.FStyle = fsItalic | fsUnderline;
  Sample.FFont = TFont("Sans", 72);
  Sample.FFont.SetColor(clDefault);
  Sample.FItems = {TItem{-5, clWindow}, TItem{100000, 0x1FFFFFFF}, TItem{}};
  Sample.FLines = {"one", "two"};
  TBytes Bytes = WriteRoot(RecordOf(Sample));

  TSample Back;
  ReadRoot(Bytes, RecordOf(Back));
  EXPECT_EQ(Back.FCount, 0);
  EXPECT_EQ(Back.FCaption, Sample.FCaption);
  EXPECT_EQ(Back.FShape, TShape::Square);
  EXPECT_EQ(Back.FColor, 0x00ABCDEFu);
  EXPECT_EQ(Back.FStyle, fsItalic | fsUnderline);
  EXPECT_EQ(Back.FFont, Sample.FFont);
  EXPECT_EQ(Back.FItems, Sample.FItems);
  EXPECT_EQ(Back.FLines, Sample.FLines);

  // Reading replaces a collection rather than appending to it.
  ReadRoot(Bytes, RecordOf(Back));
  EXPECT_EQ(Back.FItems.size(), 3u);
}

TEST(ComponentStream, ChildrenAreMatchedByNameAndClass) {
  TSample Root, First, Second;
  TComponentRecord Record = RecordOf(Root, "Root");
  Record.Children = {RecordOf(First, "First"), RecordOf(Second, "Second")};
  First.FCount = 9;
  Second.FCaption = "2";
  TBytes Bytes = WriteRoot(Record);

  TBytes E = Header("TSample", "Root");
  E.push_back(0);
  AddName(E, "TSample");
  AddName(E, "First");
  AddName(E, "Count");
  Add(E, {2, 9, 0, 0});
  AddName(E, "TSample");
  AddName(E, "Second");
  AddName(E, "Caption");
  Add(E, {6, 1, '2', 0, 0});
  E.push_back(0);
  EXPECT_EQ(Bytes, E);

  TSample Root2, First2, Second2;
  TComponentRecord Record2 = RecordOf(Root2, "Root");
  Record2.Children = {RecordOf(Second2, "Second"), RecordOf(First2, "First")};
  ReadRoot(Bytes, Record2);
  EXPECT_EQ(First2.FCount, 9);
  EXPECT_EQ(Second2.FCaption, "2");

  // A child the reader does not know is a mismatch.
  TComponentRecord Lonely = RecordOf(Root2, "Root");
  Lonely.Children = {RecordOf(First2, "First")};
  EXPECT_THROW(ReadRoot(Bytes, Lonely), EReadError);
}

TEST(ComponentStream, ForeignOrDamagedRecordsRaise) {
  TSample Sample;
  auto Fails = [&](const TBytes &ABytes) {
    TSample Target;
    EXPECT_THROW(ReadRoot(ABytes, RecordOf(Target)), EReadError);
  };
  TBytes Good = WriteRoot(RecordOf(Sample));
  // Every truncation of a valid record.
  Sample.FCount = 7;
  Sample.FItems = {TItem{3, clRed}};
  Sample.FFont.SetName("X");
  Good = WriteRoot(RecordOf(Sample));
  for (std::size_t Length = 0; Length < Good.size(); ++Length)
    Fails(TBytes(Good.begin(), Good.begin() + std::ptrdiff_t(Length)));

  TBytes B = Header("TOther", "Sample");
  Add(B, {0, 0});
  Fails(B); // another class

  B = {'T', 'P', 'F', '1'};
  Fails(B); // no signature

  auto WithProperty = [](const std::string &AName, TBytes AValue) {
    TBytes Bytes = Header("TSample", "S");
    AddName(Bytes, AName);
    Bytes.insert(Bytes.end(), AValue.begin(), AValue.end());
    Add(Bytes, {0, 0});
    return Bytes;
  };
  Fails(WithProperty("Unknown", {2, 1}));
  Fails(WithProperty("Font.Unknown", {2, 1}));
  Fails(WithProperty("Font", {2, 1}));           // an object has no value of its own
  Fails(WithProperty("Count.Sub", {2, 1}));      // nor does an integer have parts
  Fails(WithProperty("Count", {6, 1, '1'}));     // wrong type
  Fails(WithProperty("Count", {3, 0xE9, 0x03})); // 1001, out of range
  Fails(WithProperty("Count", {2, 0xFF}));       // -1, out of range
  Fails(WithProperty("Enabled", {2, 1}));
  Fails(WithProperty("Caption", {7, 1, 'x'}));
  Fails(WithProperty("Shape", {7, 2, 's', 'h'})); // no such identifier
  Fails(WithProperty("Color", {7, 5, 'c', 'l', 'F', 'o', 'o'}));
  Fails(WithProperty("Style", {11, 4, 'f', 's', 'N', 'o', 0}));
  Fails(WithProperty("Style", {2, 1}));
  Fails(WithProperty("Items", {1, 0, 0}));
  Fails(WithProperty("Items", {14, 2, 1, 0})); // an item without its list tag
  Fails(WithProperty("Items", {14, 1, 1, 'Z', 2, 1, 0, 0}));
  Fails(WithProperty("D", {6, 0}));
  Fails(WithProperty("Font.Size", {2, 0})); // a font without size
}

TEST(ComponentStream, ColourNamesCoverStandardAndSystemColours) {
  EXPECT_EQ(ColorToIdent(clBlack), "clBlack");
  EXPECT_EQ(ColorToIdent(clWhite), "clWhite");
  EXPECT_EQ(ColorToIdent(clNavy), "clNavy");
  EXPECT_EQ(ColorToIdent(clSilver), "clSilver");
  EXPECT_EQ(ColorToIdent(clDefault), "clDefault");
  EXPECT_EQ(ColorToIdent(clWindow), "clWindow");
  EXPECT_EQ(ColorToIdent(clBtnFace), "clBtnFace");
  EXPECT_EQ(ColorToIdent(clAppWorkSpace), "clAppWorkSpace");
  EXPECT_EQ(ColorToIdent(clWindowText), "clWindowText");
  EXPECT_EQ(ColorToIdent(0x00010203), std::nullopt);
  EXPECT_EQ(ColorToIdent(clSystemColor + 25), std::nullopt);
  EXPECT_EQ(IdentToColor("clDkGray"), clGray);
  EXPECT_EQ(IdentToColor("clInfoBk"), clSystemColor + 24);
  EXPECT_EQ(IdentToColor("clbtnface"), std::nullopt);
}

namespace {

// A list that keeps its items in one binary property "D": a 32-bit count, then each item's
// properties, the way a parameter list stores itself.
struct TItemList {
  std::vector<TItem> Items;

  static const TClassProperties &Properties() {
    static const TClassProperties Description = [] {
      TClassProperties Class("TItemList");
      static const TClassProperties ItemClass = [] {
        TClassProperties C("TItem");
        TClassProperties::Of<TItem> P(C);
        P.Integer("Weight", &TItem::Weight, &TItem::SetWeight, 1);
        P.Color("Color", &TItem::Color, &TItem::SetColor, clDefault);
        return C;
      }();
      TClassProperties::Of<TItemList> P(Class);
      P.Binary(
          "D", [](const TItemList &L) { return !L.Items.empty(); },
          [](TStream &S, const TItemList &L) {
            std::uint8_t Count[4] = {std::uint8_t(L.Items.size()), 0, 0, 0};
            S.Write(Count, 4);
            TValueWriter W(S);
            for (const TItem &Item : L.Items)
              TComponentWriter(W).WriteProperties(&Item, ItemClass);
            W.FlushBuffer();
          },
          [](TStream &S, TItemList &L) {
            TValueReader R(S);
            std::uint8_t Count[4];
            R.Read(Count, 4);
            L.Items.clear();
            for (unsigned I = 0; I < Count[0]; ++I)
              TComponentReader(R).ReadProperties(&L.Items.emplace_back(), ItemClass);
          });
      return Class;
    }();
    return Description;
  }
};

} // namespace

TEST(ComponentStream, BinaryPropertyCarriesABlockOfItsOwn) {
  TItemList List;
  TComponentRecord Record{"TItemList", "Params", &List, &TItemList::Properties(), {}};
  TBytes Empty = Header("TItemList", "Params");
  Add(Empty, {0, 0});
  EXPECT_EQ(WriteRoot(Record), Empty); // an empty list writes no "D"

  List.Items = {TItem{}, TItem{3, clRed}};
  TBytes E = Header("TItemList", "Params");
  AddName(E, "D");
  TBytes Block = {2, 0, 0, 0, 0};
  AddName(Block, "Weight");
  Add(Block, {2, 3});
  AddName(Block, "Color");
  Block.push_back(7);
  AddName(Block, "clRed");
  Block.push_back(0);
  Add(E, {10, std::uint8_t(Block.size()), 0, 0, 0});
  E.insert(E.end(), Block.begin(), Block.end());
  Add(E, {0, 0});
  EXPECT_EQ(WriteRoot(Record), E);

  TItemList Back;
  Back.Items = {TItem{9, clBlue}};
  ReadRoot(E, {"TItemList", "Params", &Back, &TItemList::Properties(), {}});
  EXPECT_EQ(Back.Items, List.Items);

  // A block that claims more than the file holds, or items beyond the block, is a mismatch.
  TBytes Long = Header("TItemList", "Params");
  AddName(Long, "D");
  Add(Long, {10, 0xFF, 0xFF, 0xFF, 0x7F, 1, 0, 0, 0, 0, 0, 0});
  EXPECT_THROW(ReadRoot(Long, {"TItemList", "P", &Back, &TItemList::Properties(), {}}), EReadError);
  TBytes Short = Header("TItemList", "Params");
  AddName(Short, "D");
  Add(Short, {10, 5, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0});
  EXPECT_THROW(ReadRoot(Short, {"TItemList", "P", &Back, &TItemList::Properties(), {}}),
               EReadError);
}
