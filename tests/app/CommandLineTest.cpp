// The command line: files in order, --help and --version, "--" ending the options, unknown
// options refused.
#include "app/CommandLine.h"

#include <gtest/gtest.h>

namespace {

TEST(CommandLine, FilesOptionsAndTheEndOfOptions) {
  TCommandLine Line = ParseCommandLine(std::vector<std::string>{"a.sql", "b c.sql", "Prüfung.sql"});
  EXPECT_FALSE(Line.Help);
  EXPECT_FALSE(Line.Version);
  EXPECT_EQ(Line.Files, (std::vector<std::string>{"a.sql", "b c.sql", "Prüfung.sql"}));
  EXPECT_TRUE(Line.Error.empty());

  EXPECT_TRUE(ParseCommandLine(std::vector<std::string>{"--help"}).Help);
  EXPECT_TRUE(ParseCommandLine(std::vector<std::string>{"-h"}).Help);
  EXPECT_TRUE(ParseCommandLine(std::vector<std::string>{"x.sql", "--version"}).Version);

  // After "--" everything is a file, even a name that looks like an option; "-" alone too.
  Line = ParseCommandLine(std::vector<std::string>{"--", "--help", "-x"});
  EXPECT_FALSE(Line.Help);
  EXPECT_EQ(Line.Files, (std::vector<std::string>{"--help", "-x"}));
  EXPECT_EQ(ParseCommandLine(std::vector<std::string>{"-"}).Files, std::vector<std::string>{"-"});

  Line = ParseCommandLine(std::vector<std::string>{"--bogus", "a.sql", "-q"});
  EXPECT_EQ(Line.Error, "unknown option --bogus");
  EXPECT_EQ(Line.Files, std::vector<std::string>{"a.sql"});

  Line = ParseCommandLine(std::vector<std::string>{"--compile", "--connect", "u/p@h", "a.sql"});
  EXPECT_TRUE(Line.Compile);
  EXPECT_EQ(Line.Connect, "u/p@h");
  EXPECT_EQ(Line.Files, std::vector<std::string>{"a.sql"});
  EXPECT_EQ(ParseCommandLine(std::vector<std::string>{"--compile", "--connect=u/p"}).Connect,
            "u/p");
  EXPECT_FALSE(ParseCommandLine(std::vector<std::string>{"--compile", "--connect"}).Error.empty());
  EXPECT_FALSE(ParseCommandLine(std::vector<std::string>{"--connect", "u/p", "a"}).Error.empty());

  EXPECT_NE(UsageText().find("--version"), std::string::npos);
  EXPECT_EQ(VersionText().rfind("Tessaly ", 0), 0u);
}

} // namespace
