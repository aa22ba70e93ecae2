// Below the contract: the PL/SQL interpreter through small blocks and units.
#include "PlsqlTestUtil.h"

using plsqltest::ScottSession;
using PlsqlRun = ScottSession;

TEST_F(PlsqlRun, BlocksWriteOutput) {
  EXPECT_EQ(run("BEGIN DBMS_OUTPUT.ENABLE; DBMS_OUTPUT.PUT_LINE('hello'); END;"), 0);
  EXPECT_EQ(output(), std::vector<std::string>{"hello"});
  run("DECLARE x NUMBER := 1; s VARCHAR2(20); BEGIN DBMS_OUTPUT.ENABLE(2000);\n"
      "FOR i IN 1..10 LOOP x := x * 2; END LOOP; s := 'x=' || x;\n"
      "DBMS_OUTPUT.PUT_LINE(s); END;");
  EXPECT_EQ(output(), std::vector<std::string>{"x=1024"});
}
