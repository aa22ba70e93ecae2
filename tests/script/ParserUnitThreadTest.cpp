// The parse thread with a consumer on another thread: order of expressions, include files and
// end markers, file errors, nesting, and termination.
#include "script/ParserUnit.h"
#include "tests/TestDeadline.h"

#include "FakeScriptWindows.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Strings = std::vector<std::string>;

// The synchronous call needs an application and a GUI thread that processes events: the test's
// main thread.
void EnsureApplication() {
  static int Argc = 1;
  static char Name[] = "ParserUnitThreadTest";
  static char *Argv[] = {Name, nullptr};
  static QCoreApplication *App = new QCoreApplication(Argc, Argv);
  (void)App;
}

std::string BaseName(const std::string &APath) {
  const size_t Slash = APath.rfind('/');
  return Slash == std::string::npos ? APath : APath.substr(Slash + 1);
}

std::string WithoutCr(std::string_view AText) {
  std::string Result;
  for (char C : AText)
    if (C != '\r')
      Result += C;
  return Result;
}

struct TSeen {
  std::string File;
  std::string Text; // empty for an end marker
  bool EndMarker;
  int Start;
  double Step;
  TEditForm *Form;

  std::string Line() const { return EndMarker ? "end " + File : File + ": " + Text; }
};

// Consumes the hand-over list the way the compile run does: one semaphore wait per expression,
// with a 100 ms time-out while the producer lives, then a drain of what is left. An end marker
// releases its finished script, which lets the producer push the next include.
class TConsumer {
public:
  TConsumer(TExpressionList &AList, TThreadRef &AParserRef, std::shared_ptr<TSemaphore> ASemaphore,
            bool AReleaseScripts)
      : FList(AList), FParserRef(AParserRef), FSemaphore(std::move(ASemaphore)),
        FReleaseScripts(AReleaseScripts) {}

  void Run() {
    int Index = -1;
    bool Draining = false;
    for (;;) {
      if (!Draining) {
        TWaitResult Wait;
        do
          Wait = FParserRef.load() ? FSemaphore->WaitFor(100) : TWaitResult::wrAbandoned;
        while (Wait == TWaitResult::wrTimeout);
        Draining = Wait != TWaitResult::wrSignaled;
      }
      if (Draining && FList.Count() - 1 <= Index)
        break;
      TExpression *E = FList.Get(++Index);
      Seen.push_back({BaseName(E->Script->FileName()), WithoutCr(ExpressionText(*E)),
                      E->Length == 0, E->Start, E->Script->Step(), E->Script->EditForm()});
      if (E->Length == 0 && FReleaseScripts)
        delete E->Script;
      FList.Put(Index, nullptr);
      if (Index == 99) { // keep the list short, as the compile run does
        FList.Pack();
        Index = -1;
      }
    }
  }

  std::vector<TSeen> Seen;

private:
  TExpressionList &FList;
  TThreadRef &FParserRef;
  std::shared_ptr<TSemaphore> FSemaphore;
  bool FReleaseScripts;
};

class ParseThreadTest : public ::testing::Test {
protected:
  void SetUp() override {
    EnsureApplication();
    ASSERT_TRUE(Dir.isValid());
    Folder = Dir.path().toStdString() + "/";
  }

  void WriteFile(const std::string &AName, const std::string &AText) {
    std::filesystem::create_directories(std::filesystem::path(Folder + AName).parent_path());
    std::ofstream(Folder + AName, std::ios::binary) << AText;
  }

  TScript *AddMain(const std::string &AText, const std::string &AName = "main.sql") {
    TScript *Main = Scripts.Add();
    Main->SetFileName(Folder + AName);
    Main->SetText(AText);
    return Main;
  }

  // Runs producer and consumer to the end while this (GUI) thread serves synchronous calls;
  // returns what the consumer saw and checks that the producer freed itself.
  std::vector<TSeen> Run(bool ASkipIncludes = false) {
    TExpressionList List;
    TThreadRef ParserRef{nullptr};
    auto *Parser = new TThreadParser(&Scripts, ASkipIncludes, &List, &ParserRef);
    EXPECT_EQ(ParserRef.load(), Parser);
    bool Freed = false;
    QObject::connect(Parser, &QObject::destroyed, [&Freed] { Freed = true; });
    TConsumer Consumer(List, ParserRef, Parser->Semaphore(), true);
    std::atomic<bool> Done{false};
    std::thread Thread([&] {
      Consumer.Run();
      Done = true;
    });
    Parser->Resume();
    if (!testdeadline::WaitUntil([&] { return Done && Freed; },
                                 [] {
                                   QCoreApplication::processEvents();
                                   QCoreApplication::sendPostedEvents(nullptr,
                                                                      QEvent::DeferredDelete);
                                   SleepMs(1);
                                 }))
      testdeadline::GiveUp("the parser thread and its consumer");
    Thread.join();
    EXPECT_EQ(ParserRef.load(), nullptr);
    ExpressionCount = List.ExpressionCount;
    return Consumer.Seen;
  }

  static Strings Lines(const std::vector<TSeen> &ASeen) {
    Strings Result;
    for (const TSeen &S : ASeen)
      Result.push_back(S.Line());
    return Result;
  }

  QTemporaryDir Dir;
  std::string Folder;
  TScripts Scripts;
  TFakeScriptWindows Windows;
  int ExpressionCount = -1;
};

} // namespace

TEST_F(ParseThreadTest, IncludesArriveInOrderWithEndMarkers) {
  // "@" names resolve in the main script's folder, "@@" names in the including script's.
  // The producer cannot push top.sql before the consumer has released nested.sql, so this run
  // also shows the consumer taking expressions while the producer is still at work.
  WriteFile("sub/inc.sql",
            "select 'inc' from dual;\r\n@@nested\r\n@top\r\nselect 'inc2' from dual;");
  WriteFile("sub/nested.sql", "select 'sub nested' from dual;\r\n");
  WriteFile("nested.sql", "select 'wrong nested' from dual;\r\n");
  WriteFile("top.sql", "select 'top' from dual;");
  WriteFile("sub/top.sql", "select 'wrong top' from dual;");
  AddMain("select 1 from dual;\r\n@" + Folder + "sub/inc\r\nselect 2 from dual;\r\n");

  const auto Seen = Run();
  EXPECT_EQ(Lines(Seen), (Strings{"main.sql: select 1 from dual", "inc.sql: select 'inc' from dual",
                                  "nested.sql: select 'sub nested' from dual", "end nested.sql",
                                  "top.sql: select 'top' from dual", "end top.sql",
                                  "inc.sql: select 'inc2' from dual", "end inc.sql",
                                  "main.sql: select 2 from dual"}));
  EXPECT_EQ(ExpressionCount, 6);
  EXPECT_EQ(Scripts.Count(), 1); // every included script was released by the consumer
  EXPECT_TRUE(Windows.Created.empty());
}

TEST_F(ParseThreadTest, ExtensionsFoldersAndBlanksInIncludeNames) {
  WriteFile("plain.txt", "select 'txt' from dual;");
  WriteFile(" spaced.sql", "select 'spaced' from dual;");
  WriteFile("other/abs.pkb", "select 'abs' from dual;");
  AddMain("@plain.txt\r\n@ spaced\r\n@@" + Folder + "other/abs.pkb;\r\n");
  EXPECT_EQ(Lines(Run()), (Strings{"plain.txt: select 'txt' from dual", "end plain.txt",
                                   " spaced.sql: select 'spaced' from dual", "end  spaced.sql",
                                   "abs.pkb: select 'abs' from dual", "end abs.pkb"}));
}

TEST_F(ParseThreadTest, OpenEditorWindowTextIsUsedInsteadOfTheFile) {
  WriteFile("inc.sql", "select 'disk' from dual;");
  // The window's name differs in case only; its unsaved text wins over the file.
  std::string Upper = Folder + "INC.SQL";
  TEditForm *Form = Windows.Open(Upper, "select 'window' from dual;\r\n");
  if (std::filesystem::exists(Upper))
    GTEST_SKIP() << "case-insensitive file system";
  AddMain("@inc\r\n");
  const auto Seen = Run();
  ASSERT_EQ(Lines(Seen), (Strings{"inc.sql: select 'window' from dual", "end inc.sql"}));
  EXPECT_EQ(Seen[0].Form, Form);
  EXPECT_TRUE(Windows.Created.empty());
}

TEST_F(ParseThreadTest, MissingFileGivesTwoErrorsAndEndsTheRun) {
  TEditForm *Form = Windows.Open(Folder + "main.sql", "");
  TScript *Main = AddMain("select 1 from dual;\r\n@missing\r\nselect 2 from dual;");
  Main->SetEditForm(Form);
  EXPECT_EQ(Lines(Run()), (Strings{"main.sql: select 1 from dual"}));
  ASSERT_EQ(Form->Errors.size(), 2u);
  EXPECT_EQ(Form->Errors[0], std::make_pair(std::string(SOpenScriptFailed), 23));
  EXPECT_EQ(Form->Errors[1], std::make_pair(std::string(SCompileProjectFailed), 0));
  EXPECT_EQ(Scripts.Count(), 2); // the failed include's empty script stays until the end
}

TEST_F(ParseThreadTest, IncludeOfWhatIsNoRegularFileCannotBeOpened) {
  // A device, which would read as an empty script (a FIFO would wait for a writer).
  std::filesystem::create_symlink("/dev/null", Folder + "null.sql");
  TEditForm *Form = Windows.Open(Folder + "main.sql", "");
  AddMain("\r\n@null\r\n")->SetEditForm(Form);
  EXPECT_TRUE(Run().empty());
  ASSERT_EQ(Form->Errors.size(), 2u);
  EXPECT_EQ(Form->Errors[0], std::make_pair(std::string(SOpenScriptFailed), 4));
  EXPECT_EQ(Form->Errors[1], std::make_pair(std::string(SCompileProjectFailed), 0));
}

TEST_F(ParseThreadTest, ErrorInIncludedFileOpensAWindowForIt) {
  WriteFile("a.sql", "select 'a' from dual;\r\n@@gone\r\n");
  AddMain("@a\r\nselect 'main' from dual;");
  EXPECT_EQ(Lines(Run()), (Strings{"a.sql: select 'a' from dual"}));
  ASSERT_EQ(Windows.Created, (Strings{Folder + "a.sql"}));
  TEditForm *Created = Windows.Forms.back().get();
  ASSERT_EQ(Created->Errors.size(), 2u);
  EXPECT_EQ(Created->Errors[0], std::make_pair(std::string(SOpenScriptFailed), 25));
  EXPECT_EQ(Created->ShowCount, 2);
  EXPECT_EQ(Windows.SplitterMoves, (std::vector<int>{200}));
}

TEST_F(ParseThreadTest, SkipIncludesDropsIncludeLines) {
  AddMain("@missing\r\nselect 1 from dual;\r\n@@also_missing\r\nselect 2 from dual;");
  EXPECT_EQ(Lines(Run(true)),
            (Strings{"main.sql: select 1 from dual", "main.sql: select 2 from dual"}));
  EXPECT_EQ(ExpressionCount, 2);
  for (auto &Form : Windows.Forms)
    EXPECT_TRUE(Form->Errors.empty());
}

TEST_F(ParseThreadTest, SelfIncludeStopsAtMaximumDepth) {
  const std::string Text = "select 1 from dual;\r\n@main\r\n";
  WriteFile("main.sql", Text);
  TEditForm *Form = Windows.Open(Folder + "main.sql", Text);
  AddMain(Text)->SetEditForm(Form);
  const auto Seen = Run();
  ASSERT_EQ(Seen.size(), static_cast<size_t>(TThreadParser::MaxIncludeDepth + 1));
  for (const TSeen &S : Seen)
    EXPECT_EQ(S.Line(), "main.sql: select 1 from dual");
  ASSERT_EQ(Form->Errors.size(), 2u);
  EXPECT_EQ(Form->Errors[0], std::make_pair(std::string(SScriptsNestedTooDeep), 23));
  EXPECT_EQ(Form->Errors[1], std::make_pair(std::string(SCompileProjectFailed), 0));
  EXPECT_TRUE(Windows.Created.empty());
}

TEST_F(ParseThreadTest, EmptyIncludedFileHasNoProgressToShow) {
  WriteFile("empty.sql", "");
  AddMain("@empty\r\nselect 2 from dual;");
  const auto Seen = Run();
  ASSERT_EQ(Lines(Seen), (Strings{"end empty.sql", "main.sql: select 2 from dual"}));
  // The progress of its end marker: no division by zero, and 0 percent.
  EXPECT_EQ(Seen[0].Step, 0.0);
  EXPECT_EQ(Seen[0].Step * Seen[0].Start, 0.0);
}

TEST_F(ParseThreadTest, IncludedFileGetsTheEditorsLineBreaks) {
  // Lone LFs and a lone CR: positions must be those of the file opened in an editor window.
  WriteFile("lf.sql", "select 1 from dual;\nselect bad\rfrom x;\n");
  AddMain("@lf\n");
  const auto Seen = Run();
  ASSERT_EQ(Lines(Seen),
            (Strings{"lf.sql: select 1 from dual", "lf.sql: select bad\nfrom x", "end lf.sql"}));
  EXPECT_EQ(Seen[1].Start, 22);
}

TEST_F(ParseThreadTest, TerminateEndsAProducerWaitingForTheConsumer) {
  // The consumer keeps the finished include, so the producer waits before the second one.
  WriteFile("one.sql", "select 'one' from dual;");
  WriteFile("two.sql", "select 'two' from dual;");
  AddMain("@one\r\n@two\r\nselect 3 from dual;");
  TExpressionList List;
  TThreadRef ParserRef{nullptr};
  auto *Parser = new TThreadParser(&Scripts, false, &List, &ParserRef);
  TConsumer Consumer(List, ParserRef, Parser->Semaphore(), false);
  std::thread Thread([&] { Consumer.Run(); });
  Parser->Resume();
  while (List.Count() < 2) {           // the expression and the end marker of one.sql
    QCoreApplication::processEvents(); // the producer looks for editor windows through us
    SleepMs(1);
  }
  EXPECT_NE(ParserRef.load(), nullptr);
  TThread::TerminateThread(ParserRef);
  TThread::WaitForRef(ParserRef);
  Thread.join();
  EXPECT_EQ(Lines(Consumer.Seen), (Strings{"one.sql: select 'one' from dual", "end one.sql"}));
  EXPECT_EQ(Scripts.Count(), 2);
  QCoreApplication::processEvents();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST_F(ParseThreadTest, LongScriptPassesThroughAPackedList) {
  std::string Text;
  for (int I = 0; I < 250; ++I)
    Text += "select " + std::to_string(I) + " from dual;\r\n";
  AddMain(Text);
  const auto Seen = Run();
  ASSERT_EQ(Seen.size(), 250u);
  EXPECT_EQ(Seen[249].Line(), "main.sql: select 249 from dual");
  EXPECT_EQ(ExpressionCount, 250);
}
