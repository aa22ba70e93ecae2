// Parameter objects and their lists: write rules, row buffers, text accessors, copying, the OCI
// type tables and the layer's faults.
#include "db/OciApi.h"

#include "classes/ComponentStream.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// The message of the layer fault a call raises, or "" when it raises none.
template <typename F> std::string FaultOf(F AAction) {
  try {
    AAction();
  } catch (const EDbInterface &E) {
    return E.Message();
  }
  return "";
}

struct TParamsTest : ::testing::Test {
  TParams List{nullptr, &TOracleParam::Create};
  TOracleParam &Add(const std::string &AName) {
    return *static_cast<TOracleParam *>(List.Add(AName));
  }
};

TEST_F(TParamsTest, NewInputTakesItsTypeFromTheFirstValue) {
  TOracleParam &Text = Add("t");
  Text.SetAsString("abc");
  EXPECT_EQ(Text.DataType(), oVarchar2);
  EXPECT_EQ(Text.ItemSize(), 2000);
  EXPECT_EQ(Text.AsString(), "abc");
  EXPECT_EQ(Text.RowCount(), 1);

  TOracleParam &Number = Add("n");
  Number.SetAsInteger(-42);
  EXPECT_EQ(Number.DataType(), oInteger);
  EXPECT_EQ(Number.ItemSize(), 4);
  EXPECT_EQ(Number.AsInteger(), -42);
  EXPECT_EQ(Number.AsString(), "-42");
  std::int32_t Raw;
  std::memcpy(&Raw, Number.RowData(0), 4);
  EXPECT_EQ(Raw, -42); // integers travel as 32-bit values, not text

  // A parameter that is untyped when its buffers are first needed becomes character data.
  TOracleParam &Untyped = Add("u");
  Untyped.AllocateBuffer(true);
  EXPECT_EQ(Untyped.DataType(), oVarchar2);
}

TEST_F(TParamsTest, EmptyTextIsNullExceptForIntegers) {
  TOracleParam &Text = Add("t");
  Text.SetAsString("x");
  Text.SetAsString("");
  EXPECT_EQ(Text.RowIndicator(0), -1);
  EXPECT_EQ(Text.RowLength(0), 0);
  EXPECT_TRUE(Text.RowIsNull(0));

  TOracleParam &Number = Add("n");
  Number.SetDataType(oInteger);
  Number.SetAsString("");
  EXPECT_EQ(Number.RowIndicator(0), 0);
  EXPECT_EQ(Number.RowLength(0), 4);
  EXPECT_EQ(Number.AsInteger(), 0);

  // Texts that are not whole 32-bit numbers read as 0.
  for (const char *Bad : {"3.5", "12x", "-", "2147483648", "99999999999"}) {
    Number.SetAsString(Bad);
    EXPECT_EQ(Number.AsInteger(), 0) << Bad;
  }
  Number.SetAsString(" -2147483648 ");
  EXPECT_EQ(Number.AsInteger(), -2147483647 - 1);
}

TEST_F(TParamsTest, RowsBeyondTheCountRaiseItAndLeaveGapsNull) {
  TOracleParam &P = Add("p");
  P.SetDataType(oVarchar2);
  P.SetDimension(10);
  P.SetRowAsString(0, "a");
  P.SetRowAsString(1, "b");
  EXPECT_EQ(P.RowCount(), 2);
  P.SetRowAsString(5, "f");
  EXPECT_EQ(P.RowCount(), 6);
  for (int Row = 2; Row <= 4; ++Row) {
    EXPECT_EQ(P.RowLength(Row), 0);
    EXPECT_TRUE(P.RowIsNull(Row));
  }
  EXPECT_EQ(P.RowAsString(5), "f");
  // A smaller row index never lowers the count.
  P.SetRowAsString(3, "d");
  EXPECT_EQ(P.RowCount(), 6);
}

TEST_F(TParamsTest, OversizedTextRaisesAndKeepsTheRow) {
  TOracleParam &P = Add("Big");
  P.SetAsString("old");
  EXPECT_EQ(FaultOf([&] { P.SetAsString(std::string(2001, 'x')); }), "Error : 6.5.[Big]");
  EXPECT_EQ(P.AsString(), "old");
  EXPECT_EQ(P.RowCount(), 1);
  P.SetAsString(std::string(2000, 'y')); // exactly the item size fits
  EXPECT_EQ(P.AsString().size(), 2000u);

  // WriteRow cuts instead of raising.
  TOracleParam &Raw = Add("r");
  Raw.SetDataType(oRaw);
  Raw.SetItemSize(3);
  EXPECT_EQ(Raw.WriteRow(0, "abcdef", 6), 3);
  EXPECT_EQ(Raw.RowAsString(0), "abc");
  char Out[8] = {};
  EXPECT_EQ(Raw.ReadRow(0, Out, 2), 2);
  EXPECT_EQ(std::string(Out), "ab");
  EXPECT_EQ(Raw.WriteRow(0, "z", -5), 0); // a negative length writes nothing: NULL
  EXPECT_TRUE(Raw.RowIsNull(0));
}

TEST_F(TParamsTest, NamesAreUniqueIgnoringCase) {
  TOracleParam &A = Add("Alpha");
  Add("beta");
  EXPECT_EQ(&Add("ALPHA"), &A); // Add finds the existing item
  EXPECT_EQ(List.Count(), 2);
  EXPECT_EQ(FaultOf([&] { A.SetParamName("BETA"); }), "Warning : 6.1.[BETA]");
  // The item finds itself under a case variant of its own name.
  EXPECT_EQ(FaultOf([&] { A.SetParamName("alpha"); }), "Warning : 6.1.[alpha]");
  EXPECT_EQ(FaultOf([&] { A.SetParamName("Alpha"); }), "");
  A.SetParamName("gamma");
  EXPECT_EQ(List.FindParam("GAMMA"), &A);
  EXPECT_EQ(List.FindParam("alpha"), nullptr);
  try {
    A.SetParamName("Beta");
    FAIL() << "a second BETA was accepted";
  } catch (const EDbInterface &E) {
    EXPECT_EQ(E.ErrorCode(), MakeErrorCode(0, 30206, 50001)); // a warning, raised all the same
  }
}

TEST_F(TParamsTest, IndexAndRowsOutsideTheDimension) {
  TOracleParam &P = Add("p");
  P.SetDimension(3);
  EXPECT_EQ(FaultOf([&] { P.SetIndex(3); }), "Warning : 6.4.[p]");
  EXPECT_EQ(FaultOf([&] { P.SetIndex(2); }), "");
  P.SetIndex(-1); // accepted as the write rule says
  EXPECT_EQ(P.Index(), -1);
  // ... but reading through it cannot reach outside the buffers.
  EXPECT_EQ(FaultOf([&] { (void)P.AsString(); }), "Warning : 6.4.[p]");
  EXPECT_EQ(FaultOf([&] { P.SetRowAsString(3, "x"); }), "Warning : 6.4.[p]");
  EXPECT_EQ(FaultOf([&] { (void)P.RowData(-1); }), "Warning : 6.4.[p]");

  P.SetRowCount(4); // beyond the dimension: ignored
  EXPECT_EQ(P.RowCount(), 0);
  P.SetRowCount(-1);
  EXPECT_EQ(P.RowCount(), 0);
  P.SetRowCount(3);
  EXPECT_EQ(P.RowCount(), 3);
}

TEST_F(TParamsTest, ChangingTheShapeDiscardsValues) {
  TOracleParam &P = Add("p");
  P.SetDimension(4);
  P.SetRowAsString(2, "x");
  P.SetDimension(5);
  EXPECT_FALSE(P.BuffersReady());
  EXPECT_TRUE(P.RowIsNull(2));
  EXPECT_EQ(P.RowCount(), 0);

  P.SetRowAsString(1, "y");
  P.SetItemSize(100);
  EXPECT_EQ(P.RowAsString(1), "");
  EXPECT_EQ(P.RowCount(), 0);

  P.SetAsString("z");
  P.SetDataType(oNumber);
  EXPECT_EQ(P.ItemSize(), 0);
  EXPECT_EQ(P.AsString(), "");
  EXPECT_EQ(P.ItemSize(), 40);

  // Same values written again keep the buffers.
  P.SetAsString("7");
  P.SetDimension(5);
  P.SetItemSize(40);
  P.SetDataType(oNumber);
  EXPECT_EQ(P.AsString(), "7");

  P.ClearValue();
  EXPECT_EQ(P.RowCount(), 0);
  EXPECT_EQ(P.Index(), 0);
  EXPECT_EQ(P.AsString(), "");
}

TEST_F(TParamsTest, BufferLayoutIsOneBlockWithThreeArrays) {
  TOracleParam &P = Add("p");
  P.SetDataType(oRaw);
  P.SetItemSize(5);
  P.SetDimension(3);
  P.AllocateBuffer(true);
  std::uint8_t *Base = P.DataArea();
  EXPECT_EQ(P.RowData(2), Base + 10);
  // The arrays follow the rows (on an even offset) in the order lengths, indicators, codes.
  auto *Lengths = reinterpret_cast<std::uint8_t *>(P.LengthArray());
  EXPECT_GE(Lengths, Base + 15);
  EXPECT_LE(Lengths, Base + 16);
  EXPECT_EQ(reinterpret_cast<std::uint8_t *>(P.IndicatorArray()), Lengths + 6);
  EXPECT_EQ(reinterpret_cast<std::uint8_t *>(P.ReturnCodeArray()), Lengths + 12);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(Lengths) % 2, 0u);
  for (int Row = 0; Row < 3; ++Row) {
    EXPECT_EQ(P.RowLength(Row), 0);
    EXPECT_TRUE(P.RowIsNull(Row)); // nothing written yet
  }
  P.SetRowLength(1, 3);
  EXPECT_EQ(P.IndicatorArray()[1], 0);
  P.SetRowLength(1, 0);
  EXPECT_EQ(P.IndicatorArray()[1], -1);

  // A length the library left beyond the row, or on a NULL row, never reads past it.
  P.LengthArray()[0] = 60000;
  P.IndicatorArray()[0] = 0;
  EXPECT_EQ(P.RowAsString(0).size(), 5u);
  P.IndicatorArray()[0] = -1;
  EXPECT_EQ(P.RowAsString(0), "");
}

TEST_F(TParamsTest, BuffersThatCannotBeSetUpRaise) {
  TOracleParam &Unknown = Add("f");
  Unknown.SetKind(oField); // a field of unknown type stays unknown
  EXPECT_EQ(FaultOf([&] { Unknown.AllocateBuffer(true); }), "Error : 6.7.[]");
  EXPECT_EQ(Unknown.DataType(), oUnknown);
  Unknown.SetItemSize(10);
  Unknown.AllocateBuffer(true);
  EXPECT_EQ(FaultOf([&] { (void)Unknown.ExternalType(); }), "Error : 6.7.[Datatype]");

  TOracleParam &Rowid = Add("r");
  Rowid.SetDataType(oRowid); // no default size
  EXPECT_EQ(FaultOf([&] { (void)Rowid.AsString(); }), "Error : 6.7.[]");

  TOracleParam &Odd = Add("o");
  Odd.SetDimension(0);
  EXPECT_EQ(FaultOf([&] { Odd.SetAsString("x"); }), "Error : 6.7.[]");
  Odd.SetDimension(-3);
  EXPECT_EQ(FaultOf([&] { Odd.SetAsString("x"); }), "Error : 6.7.[]");
  Odd.SetDimension(1);
  Odd.SetItemSize(70000); // longer than a 16-bit row length can say
  EXPECT_EQ(FaultOf([&] { Odd.SetAsString("x"); }), "Error : 6.7.[]");
  Odd.SetItemSize(-1);
  EXPECT_EQ(FaultOf([&] { Odd.SetAsString("x"); }), "Error : 6.7.[]");
  Odd.SetDimension(200000000);
  Odd.SetItemSize(65535); // 13 TB: refused, not a crash
  EXPECT_EQ(FaultOf([&] { Odd.SetAsString("x"); }), "Error : 6.7.[]");

  EXPECT_EQ(FaultOf([&] { (void)static_cast<TParam &>(Odd).TParam::CursorQuery(); }),
            "Error : 6.6.[]");
}

TEST_F(TParamsTest, PosZeroMovesToTheFront) {
  Add("a");
  Add("b");
  TOracleParam &C = Add("c");
  C.SetPos(0);
  EXPECT_EQ(List.Items(0), &C);
  EXPECT_EQ(List.Items(1)->ParamName(), "a");
  EXPECT_EQ(List.Items(2)->ParamName(), "b");
  List.Items(2)->SetPos(7);
  EXPECT_EQ(List.Items(2)->Pos(), 7);
  EXPECT_EQ(List.Items(2)->ParamName(), "b");
}

TEST_F(TParamsTest, DbTypeAndDbKindDriveTypeAndKind) {
  TOracleParam &P = Add("p");
  const std::pair<int, TParamType> Types[] = {
      {1, oVarchar2}, {2, oNumber},   {3, oInteger},  {8, oLong},      {11, oRowid},   {12, oDate},
      {23, oRaw},     {24, oLongRaw}, {102, oCursor}, {96, oVarchar2}, {250, oUnknown}};
  for (auto [Code, Type] : Types) {
    P.SetDbType(Code);
    EXPECT_EQ(P.DataType(), Type) << Code;
    EXPECT_EQ(P.DbType(), Code);
  }
  P.SetDataTable(true);
  const std::pair<int, TParamType> TableTypes[] = {
      {1, oVarchar2}, {96, oVarchar2}, {2, oInteger}, {3, oInteger}, {12, oUnknown}};
  for (auto [Code, Type] : TableTypes) {
    P.SetDbType(Code);
    EXPECT_EQ(P.DataType(), Type) << Code;
  }
  const std::pair<int, TParamKind> Kinds[] = {{0, oInput}, {1, oOutput}, {2, oInpOut}, {9, oInput}};
  for (auto [Code, Kind] : Kinds) {
    P.SetDbKind(Code);
    EXPECT_EQ(P.Kind(), Kind);
  }
  EXPECT_EQ(P.DbKindOfKind(oInput), 0);
  EXPECT_EQ(P.DbKindOfKind(oOutput), 1);
  EXPECT_EQ(P.DbKindOfKind(oInpOut), 2);
}

TEST_F(TParamsTest, TypeTablesForPlainAndTableParameters) {
  TOracleParam &P = Add("p");
  struct TRow {
    TParamType Type;
    int Size, External, TableSize, TableExternal;
  };
  const TRow Rows[] = {
      {oVarchar2, 2000, 1, 2000, 1}, {oNumber, 40, 1, 0, 3},      {oInteger, 4, 3, 4, 3},
      {oDate, 12, 1, 0, 1},          {oRowid, 0, 1, 0, 1},        {oCursor, 4, 102, 0, 102},
      {oLong, 4096, 1, 0, 1},        {oLongRaw, 4096, 24, 0, 24}, {oRaw, 256, 23, 0, 23}};
  for (const TRow &Row : Rows) {
    P.SetDataTable(false);
    P.SetDataType(Row.Type);
    EXPECT_EQ(P.DefaultItemSize(), Row.Size) << ParamTypeNames[Row.Type];
    EXPECT_EQ(P.ExternalType(), Row.External) << ParamTypeNames[Row.Type];
    P.SetDataTable(true);
    EXPECT_EQ(P.DefaultItemSize(), Row.TableSize) << ParamTypeNames[Row.Type];
    EXPECT_EQ(P.ExternalType(), Row.TableExternal) << ParamTypeNames[Row.Type];
  }
  EXPECT_EQ(P.ExtraBufferSize(), 0);
}

TEST_F(TParamsTest, CopyRowsAndAssign) {
  TOracleParam &Source = Add("Src");
  Source.SetDataType(oVarchar2);
  Source.SetItemSize(10);
  Source.SetDimension(4);
  Source.SetNullOk(true);
  Source.SetPos(3);
  Source.SetDbType(1);
  Source.SetHaveDefault(true);
  Source.SetRowAsString(0, "one");
  Source.SetRowAsString(2, "three");

  TParams Other{nullptr, &TOracleParam::Create};
  auto &Copy = *static_cast<TOracleParam *>(Other.Add("x"));
  Copy.Assign(Source);
  EXPECT_EQ(Copy.ParamName(), "Src");
  EXPECT_EQ(Copy.DataType(), oVarchar2);
  EXPECT_EQ(Copy.ItemSize(), 10);
  EXPECT_EQ(Copy.Dimension(), 4);
  EXPECT_TRUE(Copy.NullOk());
  EXPECT_EQ(Copy.Pos(), 3);
  EXPECT_FALSE(Copy.HaveDefault()); // not copied
  EXPECT_EQ(Copy.DbType(), 0);      // not copied
  EXPECT_EQ(Copy.RowCount(), 3);
  EXPECT_EQ(Copy.RowAsString(0), "one");
  EXPECT_TRUE(Copy.RowIsNull(1));
  EXPECT_EQ(Copy.RowAsString(2), "three");

  // A name another item of the list already has is refused like any rename.
  auto &Second = *static_cast<TOracleParam *>(Other.Add("y"));
  EXPECT_EQ(FaultOf([&] { Second.Assign(Source); }), "Warning : 6.1.[Src]");
}

TEST_F(TParamsTest, AssignIntoNarrowerListAndCaseVariants) {
  TOracleParam &Source = Add("Src");
  Source.SetDimension(4);
  for (int Row = 0; Row < 4; ++Row)
    Source.SetRowAsString(Row, std::string(1, char('a' + Row)));

  TParams Narrow{nullptr, &TOracleParam::Create};
  Narrow.SetDimension(2);
  TParam &Copy = *Narrow.Add("SRC"); // a case variant: keeps its own spelling
  Copy.Assign(Source);
  EXPECT_EQ(Copy.ParamName(), "SRC");
  EXPECT_EQ(Copy.Dimension(), 2);
  EXPECT_EQ(Copy.RowCount(), 2);
  EXPECT_EQ(Copy.RowAsString(1), "b");

  // An unallocated, empty source gives an empty copy.
  TParam &Empty = *Narrow.Add("e");
  Empty.SetAsString("stale");
  TOracleParam &Blank = Add("blank");
  Empty.Assign(Blank);
  EXPECT_EQ(Empty.RowCount(), 0);
}

TEST_F(TParamsTest, ListAssignAndAssignValues) {
  List.SetDimension(3);
  Add("a").SetAsString("1");
  Add("b").SetAsInteger(2);
  EXPECT_EQ(List.Items(0)->Dimension(), 3);

  TParams Copy{nullptr, &TOracleParam::Create};
  Copy.Add("zzz");
  Copy.Assign(List);
  ASSERT_EQ(Copy.Count(), 2);
  EXPECT_EQ(Copy.Dimension(), 3);
  EXPECT_EQ(Copy.Items(0)->ParamName(), "a");
  EXPECT_EQ(Copy.Items(1)->DataType(), oInteger);
  EXPECT_EQ(Copy.FindParam("zzz"), nullptr);

  // AssignValues takes only what both lists name.
  TParams Target{nullptr, &TOracleParam::Create};
  Target.Add("B");
  Target.Add("c")->SetAsString("keep");
  Target.AssignValues(&List);
  Target.AssignValues(nullptr);
  EXPECT_EQ(Target.FindParam("b")->AsInteger(), 2);
  EXPECT_EQ(Target.FindParam("c")->AsString(), "keep");

  // Two unnamed source items stay two items.
  TParams Unnamed{nullptr, &TOracleParam::Create};
  Unnamed.Add("");
  new TOracleParam(&Unnamed, "");
  TParams Both{nullptr, &TOracleParam::Create};
  Both.Assign(Unnamed);
  EXPECT_EQ(Both.Count(), 2);

  List.ClearValues();
  EXPECT_EQ(List.Items(0)->RowCount(), 0);
  List.Clear();
  EXPECT_EQ(List.Count(), 0);
}

TEST_F(TParamsTest, ListDimensionRules) {
  TParam &Own = Add("own");
  Own.SetDimension(7);
  List.SetDimension(0); // unchanged value: nothing
  EXPECT_EQ(Own.Dimension(), 7);
  List.SetDimension(5);
  EXPECT_EQ(Own.Dimension(), 5);
  EXPECT_EQ(Add("new").Dimension(), 5);
  List.SetDimension(0); // stored, items keep their own
  EXPECT_EQ(List.Dimension(), 0);
  EXPECT_EQ(Own.Dimension(), 5);

  TFields Fields{nullptr, &TOracleParam::Create};
  EXPECT_EQ(Fields.Dimension(), 10);
  TParam *F = Fields.Add("F");
  EXPECT_EQ(F->Kind(), oField);
  EXPECT_EQ(F->Dimension(), 10);
  Fields.SetDimension(0);
  Fields.SetDimension(-4);
  EXPECT_EQ(Fields.Dimension(), 10);
  Fields.SetDimension(100);
  EXPECT_EQ(F->Dimension(), 100);
  // An item that leaves its list takes itself out.
  delete F;
  EXPECT_EQ(Fields.Count(), 0);
}

TEST_F(TParamsTest, ItemsRoundTripThroughTheComponentStream) {
  // The error query's TEXT field as the main window's description holds it.
  TOracleParam &Text = Add("TEXT");
  Text.SetDataType(oVarchar2);
  Text.SetDimension(10);
  Text.SetItemSize(1000);
  Text.SetPos(3);
  Text.SetKind(oField);
  Text.SetDbType(1);         // not stored for OCI items
  Text.SetAsString("value"); // never stored
  TOracleParam &Input = Add("owner");
  Input.SetDataTable(true);

  TMemoryStream Stream;
  {
    TValueWriter Writer(Stream);
    TComponentWriter Components(Writer);
    for (TOracleParam *Item : {&Text, &Input})
      Components.WriteComponent({"TOracleParam", "", Item, &TOracleParam::Properties(), {}});
    Writer.FlushBuffer();
  }
  const std::string Bytes(Stream.Bytes().begin(), Stream.Bytes().end());
  for (const char *Absent : {"DbType", "Index", "RowCount", "AsString", "value"})
    EXPECT_EQ(Bytes.find(Absent), std::string::npos) << Absent;
  // The type is written before the size, so reading it back does not clear the size.
  EXPECT_LT(Bytes.find("DataType"), Bytes.find("ItemSize"));

  TParams Loaded{nullptr, &TOracleParam::Create};
  Stream.Rewind();
  TValueReader Reader(Stream);
  TComponentReader Components(Reader);
  auto &A = *static_cast<TOracleParam *>(Loaded.Add(""));
  Components.ReadComponent({"TOracleParam", "", &A, &TOracleParam::Properties(), {}});
  auto &B = *static_cast<TOracleParam *>(Loaded.Add("x"));
  Components.ReadComponent({"TOracleParam", "", &B, &TOracleParam::Properties(), {}});
  EXPECT_EQ(A.ParamName(), "TEXT");
  EXPECT_EQ(A.DataType(), oVarchar2);
  EXPECT_EQ(A.ItemSize(), 1000);
  EXPECT_EQ(A.Dimension(), 10);
  EXPECT_EQ(A.Pos(), 3);
  EXPECT_EQ(A.Kind(), oInput) << "a field's kind is not stored; the list makes it a field";
  EXPECT_EQ(A.DbType(), 0);
  EXPECT_EQ(B.ParamName(), "owner");
  EXPECT_EQ(B.Kind(), oInput) << "any other kind is stored";
  EXPECT_TRUE(B.DataTable());
  EXPECT_EQ(B.Pos(), -1);
}

} // namespace
