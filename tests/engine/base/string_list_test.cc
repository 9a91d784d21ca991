#include "engine/base/string_list.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/ansi_text.h"

namespace tessaly::engine {
namespace {

TEST(TStringListTest, AddPutDeleteKeepOrder) {
  TStringList list;
  EXPECT_EQ(list.Add("a"), 0);
  EXPECT_EQ(list.Add("b"), 1);
  EXPECT_EQ(list.Add("c"), 2);
  list.Put(1, "B");
  list.Delete(0);
  EXPECT_EQ(list.Strings(), (std::vector<std::string>{"B", "c"}));
  EXPECT_EQ(list[1], "c");
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
}

TEST(TStringListTest, OutOfRangeIndexRaises) {
  TStringList list;
  list.Add("only");
  EXPECT_THROW(list.Get(1), EStringListError);
  EXPECT_THROW(list.Put(-1, "x"), EStringListError);
  try {
    list.Delete(5);
    FAIL() << "no exception";
  } catch (const EStringListError& e) {
    EXPECT_STREQ(e.what(), "List index out of bounds (5)");
  }
  EXPECT_EQ(list.Count(), 1);
}

TEST(TStringListTest, IndexOfIgnoresCaseUnlessCaseSensitive) {
  TStringList list;
  list.Add("readme.txt");
  list.Add(test::Ansi("Café.DAT"));
  list.Add("README.TXT");
  EXPECT_EQ(list.IndexOf("ReadMe.Txt"), 0);  // first of the equal strings
  EXPECT_EQ(list.IndexOf(test::Ansi("CAFÉ.dat")), 1);  // beyond ASCII too
  EXPECT_EQ(list.IndexOf("missing"), -1);
  list.SetCaseSensitive(true);
  EXPECT_EQ(list.IndexOf("README.TXT"), 2);
  EXPECT_EQ(list.IndexOf("ReadMe.Txt"), -1);
}

TEST(TStringListTest, IndexOfNameUsesTextBeforeFirstEquals) {
  TStringList list;
  list.Add("Key");
  list.Add("other=1");
  list.Add("KEY=a=b");
  EXPECT_EQ(list.IndexOfName("key"), 2);
  EXPECT_EQ(list.IndexOfName("other"), 1);
  EXPECT_EQ(list.IndexOfName("KEY=a"), -1);
  list.Add("=empty");
  EXPECT_EQ(list.IndexOfName(""), 3);
}

TEST(TStringListTest, AssignAndSetTextReplaceContents) {
  TStringList list;
  list.Add("old");
  list.SetText("*.dat\r\n*.rpt\nFileList.cfg\r*.bmp\r\n");
  EXPECT_EQ(list.Strings(), (std::vector<std::string>{
                                "*.dat", "*.rpt", "FileList.cfg", "*.bmp"}));
  list.SetText("a\n\nb");
  EXPECT_EQ(list.Strings(), (std::vector<std::string>{"a", "", "b"}));

  TStringList copy;
  copy.Assign(list);
  copy.Assign(copy);  // self-assignment keeps the contents
  EXPECT_EQ(copy.Strings(), list.Strings());
  copy.Assign(std::vector<std::string>{});
  EXPECT_EQ(copy.Count(), 0);
}

}  // namespace
}  // namespace tessaly::engine
