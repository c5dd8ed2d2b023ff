#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "support/cstring.h"

namespace {

void expectConsistent(my_string const& s) {
  EXPECT_EQ(s.numChars, static_cast<int>(std::strlen(s.chars)));
  EXPECT_LT(s.numChars + 1, s.bufSize);
}

TEST(MyString, BufferSizesFollowTheGrowthRules) {
  my_string s;
  EXPECT_EQ(s.bufSize, 10);
  s = "12345678";
  EXPECT_EQ(s.bufSize, 10);
  s = "123456789";
  EXPECT_EQ(s.bufSize, 11);

  my_string built("abc");
  EXPECT_EQ(built.bufSize, 5);
  my_string copy(built);
  EXPECT_EQ(copy.bufSize, 10);
  EXPECT_EQ(copy, "abc");

  my_string grown;
  for (int i = 0; i < 8; ++i) grown += 'x';
  EXPECT_EQ(grown.bufSize, 10);
  grown += 'x';
  EXPECT_EQ(grown.bufSize, 109);
  EXPECT_EQ(grown.numChars, 9);
  EXPECT_EQ(grown.tmpCopy, nullptr);

  my_string words;
  words += "hello ";
  words += my_string("world, and more");
  EXPECT_EQ(words, "hello world, and more");
  expectConsistent(words);
}

TEST(MyString, LengthCapSkipsOversizedResults) {
  std::string atCap(MY_STRING_MAX_LENGTH, 'a');
  std::string overCap(MY_STRING_MAX_LENGTH + 1, 'b');
  my_string s("keep");
  s = overCap.c_str();
  EXPECT_EQ(s, "keep");
  EXPECT_EQ(s.numChars, 4);
  s = atCap.c_str();
  EXPECT_EQ(s.numChars, MY_STRING_MAX_LENGTH);
  s += 'c';
  s += "c";
  EXPECT_EQ(s.numChars, MY_STRING_MAX_LENGTH);
  EXPECT_EQ(s.chars[MY_STRING_MAX_LENGTH - 1], 'a');

  my_string half(std::string(105000, 'h').c_str());
  my_string rest(std::string(105001, 'r').c_str());
  EXPECT_TRUE((half + rest).is_null());
  EXPECT_TRUE((half + rest.chars).is_null());
  EXPECT_EQ((half + "r").numChars, 105001);

  // A reader drops what is beyond the cap but reads on to the terminator.
  std::istringstream in(std::string(MY_STRING_MAX_LENGTH + 5, 'z') + "\nnext");
  my_string line;
  EXPECT_EQ(line.read_line(in), 1);
  EXPECT_EQ(line.numChars, MY_STRING_MAX_LENGTH);
  line.read_line(in);
  EXPECT_EQ(line, "next");
}

TEST(MyString, AssignmentToItselfAndAppendOfItself) {
  my_string s("abcdefgh");
  my_string& alias = s;
  s = alias;
  EXPECT_EQ(s, "abcdefgh");
  s = s.chars;
  EXPECT_EQ(s, "abcdefgh");
  s += alias;  // grows the buffer while reading from it
  EXPECT_EQ(s, "abcdefghabcdefgh");
  s += s.chars + 8;
  EXPECT_EQ(s, "abcdefghabcdefghabcdefgh");
  expectConsistent(s);
}

TEST(MyString, ValueAssignments) {
  my_string s;
  s = 42;
  EXPECT_EQ(s, "42");
  EXPECT_GE(s.bufSize, 22);
  s = 1.5;
  EXPECT_EQ(s, "1.500000");
  EXPECT_GE(s.bufSize, 42);
  s = 1e300;  // far longer than the minimum buffer
  EXPECT_EQ(s.numChars, 308);
  char c = 'q';
  s = c;
  EXPECT_EQ(s, "q");
  expectConsistent(s);
}

// ---------------------------------------------------------------- readers

enum class Reader { Line, ToDelim, ToComma, SeparatorSkip, SeparatorNoSkip, Token, ReadToken };

struct ReaderCase {
  char const* name;
  std::string input;
  Reader reader;
  std::vector<std::string> results;  // successive calls
  std::vector<int> lineCodes;        // read_line results, when checked
  std::string rest;                  // what the stream still holds
};

std::string readOnce(Reader r, std::istream& in, my_string& s, int& code) {
  switch (r) {
    case Reader::Line: code = s.read_line(in); break;
    case Reader::ToDelim: s.read_to_delim(in); break;
    case Reader::ToComma: s.read_to_delim(in, ','); break;
    case Reader::SeparatorSkip: s.read_to_separator(in, true); break;
    case Reader::SeparatorNoSkip: s.read_to_separator(in, false); break;
    case Reader::Token: in >> s; break;
    case Reader::ReadToken: s.read_token(in); break;
  }
  return std::string(s.chars);
}

TEST(MyString, StreamReadersUseTheirOwnBlankAndTerminatorSets) {
  using S = std::string;
  const ReaderCase cases[] = {
      {"line with cr", "\t  abc def\r\nxyz", Reader::Line, {"abc def\r", "xyz"}, {1, 0}, ""},
      {"line at 0xFF", "ab\xFF" "cd", Reader::Line, {"ab", "cd"}, {1, 0}, ""},
      {"line at NUL", S("a\tb\0c", 5), Reader::Line, {"a\tb", "c"}, {1, 0}, ""},
      {"blank line at end", "   ", Reader::Line, {""}, {0}, ""},
      {"token", "  12\tx 7\n", Reader::Token, {"12\tx", "7", "", ""}, {}, "\n"},
      {"token keeps cr", "a\r b", Reader::Token, {"a\r", "b"}, {}, ""},
      {"token at 0xFF", "ab\xFF" "c", Reader::Token, {"ab"}, {}, "c"},
      {"separator skip", "  3.5\r\n", Reader::SeparatorSkip, {"3.5"}, {}, "\n"},
      {"separator no skip", " 3.5", Reader::SeparatorNoSkip, {""}, {}, "3.5"},
      {"separator tab", "a\tb c", Reader::SeparatorSkip, {"a", "b"}, {}, "c"},
      {"to delim", " a\tb\r\nc", Reader::ToDelim, {" a\tb\r", "c", ""}, {}, ""},
      {"to comma", "a b,c\nd", Reader::ToComma, {"a b", "c"}, {}, "d"},
      {"read token", " \n\tab cd\nx", Reader::ReadToken, {"ab", "cd"}, {}, "\nx"},
  };
  for (ReaderCase const& c : cases) {
    SCOPED_TRACE(c.name);
    std::istringstream in(c.input);
    my_string s("previous text");
    for (size_t k = 0; k < c.results.size(); ++k) {
      int code = -1;
      EXPECT_EQ(readOnce(c.reader, in, s, code), c.results[k]) << "call " << k;
      if (k < c.lineCodes.size()) {
        EXPECT_EQ(code, c.lineCodes[k]) << "call " << k;
      }
      expectConsistent(s);
    }
    in.clear();
    std::string rest((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(rest, c.rest);
  }
}

// ---------------------------------------------------------------- editing

struct EditCase {
  char const* input;
  std::function<void(my_string&)> edit;
  char const* expected;
};

TEST(MyString, EditingMembers) {
  const EditCase cases[] = {
      {"a \t\r b", [](my_string& s) { s.remove_repeated_seperators(); }, "a b"},
      {" a\tb\rc ", [](my_string& s) { s.remove_blanks(); }, "abc"},
      {"ab \t\r", [](my_string& s) { s.remove_trailing_blanks(); }, "ab \t\r"},
      {"ab \t ", [](my_string& s) { s.remove_trailing_blanks(); }, "ab"},
      {"a // b // c", [](my_string& s) { s.remove_comments(); }, "a "},
      {"a/b", [](my_string& s) { s.remove_comments(); }, "a/b"},
      {"run/model.par", [](my_string& s) { s.remove_extension(); }, "run/model"},
      {"x.par.y.par", [](my_string& s) { s.remove_extension(); }, "x.par.y"},
      {"my.params.par", [](my_string& s) { s.remove_extension(); }, "my.params"},
      {"dir.x/model", [](my_string& s) { s.remove_extension(); }, "dir.x/model"},
      {"./model", [](my_string& s) { s.remove_extension(); }, "./model"},
      {"C:\\dir.v\\m.par", [](my_string& s) { s.remove_extension(); }, "C:\\dir.v\\m"},
      {"model", [](my_string& s) { s.remove_extension(); }, "model"},
      {"model.", [](my_string& s) { s.remove_extension(); }, "model"},
      {"C:\\runs\\m.par", [](my_string& s) { s.remove_path(); }, "m.par"},
      {"a/b\\c/d", [](my_string& s) { s.remove_path(); }, "d"},
      {"abc", [](my_string& s) { s.remove_path(); }, "abc"},
      {"abc", [](my_string& s) { s.rm_path(); }, "bc"},
      {"x/abc", [](my_string& s) { s.rm_path(); }, "abc"},
      {"abcdef", [](my_string& s) { s.remove(1, 2); }, "adef"},
      {"abcdef", [](my_string& s) { s.remove(3, 10); }, "abc"},
      {"abcdef", [](my_string& s) { s.remove(-1, 2); }, "abcdef"},
      {"abcdef", [](my_string& s) { s.remove(6, 1); }, "abcdef"},
      {"abcdef", [](my_string& s) { s.remove(2, 0); }, "abcdef"},
      {"AbZ9\xC9", [](my_string& s) { s.to_lower(); }, "abz9\xC9"},
      {"aBz9\xE9", [](my_string& s) { s.Upper(); }, "ABZ9\xE9"},
  };
  for (EditCase const& c : cases) {
    SCOPED_TRACE(c.input);
    my_string s(c.input);
    c.edit(s);
    EXPECT_EQ(std::string(s.chars), c.expected);
    expectConsistent(s);
  }
}

TEST(MyString, SearchesUseTheStoredLength) {
  my_string s("a=b=c");
  EXPECT_EQ(s.rfind("="), 1);
  EXPECT_EQ(s.rfind("c="), -1);
  EXPECT_EQ(s.rfind(""), -1);
  EXPECT_FALSE(s.contains(""));
  EXPECT_TRUE(s.contains("b=c"));
  EXPECT_TRUE(s.contains(my_string("=b")));
  EXPECT_TRUE(s.contains('c'));
  EXPECT_FALSE(s.contains("a=b=c="));
  EXPECT_EQ(s.find_first_of('='), 1);
  EXPECT_EQ(s.find_first_of('=', 3), 1);
  EXPECT_EQ(s.find_first_of('=', 6), -1);
  EXPECT_FALSE(my_string("x").is_null());
  EXPECT_TRUE(my_string().is_null());
}

struct ExtractCase {
  char const* input;
  std::function<my_string(my_string const&)> extract;
  char const* expected;
};

TEST(MyString, ExtractionLeavesTheSourceUnchanged) {
  const ExtractCase cases[] = {
      {"abc", [](my_string const& s) { return s.extract_after('='); }, "abc"},
      {"ab=c=d", [](my_string const& s) { return s.extract_after('='); }, "c=d"},
      {"a>=b", [](my_string const& s) { return s.extract_after(2); }, "b"},
      {"a>=b", [](my_string const& s) { return s.extract_after(3); }, ""},
      {"a>=b", [](my_string const& s) { return s.extract_after(9); }, "a>=b"},
      {"a>=b", [](my_string const& s) { return s.extract_after(-1); }, "a>=b"},
      {"ab=c", [](my_string const& s) { return s.extract_before('='); }, "ab"},
      {"abc", [](my_string const& s) { return s.extract_before('='); }, "abc"},
      {"abcd", [](my_string const& s) { return s.extract_before(2); }, "ab"},
      {"abcd", [](my_string const& s) { return s.extract_before(0); }, ""},
      {"abcd", [](my_string const& s) { return s.extract_before(-1); }, "abcd"},
      {"ab//c//", [](my_string const& s) { return s.extract_before_doubleSlash(); }, "ab"},
      {"ab/c", [](my_string const& s) { return s.extract_before_doubleSlash(); }, "ab/c"},
      {"abcdef", [](my_string const& s) { return s.extract_between(1, 3); }, "bc"},
      {"abcdef", [](my_string const& s) { return s.extract_between(2, 99); }, "cdef"},
      {"abcdef", [](my_string const& s) { return s.extract_between(3, 1); }, ""},
      {"abcdef", [](my_string const& s) { return s.extract_between(2, 2); }, ""},
      {"abcdef", [](my_string const& s) { return s.extract_between(6, 8); }, ""},
  };
  for (ExtractCase const& c : cases) {
    SCOPED_TRACE(c.input);
    my_string s(c.input);
    my_string part = c.extract(s);
    EXPECT_EQ(std::string(part.chars), c.expected);
    expectConsistent(part);
    EXPECT_EQ(s, c.input);
  }

  my_string runs("xxabcxdef");
  EXPECT_EQ(runs.extract_sub_str('x'), "abc");
  EXPECT_EQ(runs, "xdef");
  EXPECT_EQ(runs.extract_sub_str('x'), "def");
  EXPECT_TRUE(runs.is_null());
}

TEST(MyString, OutputAndReversal) {
  std::ostringstream out;
  out << my_string("a b\tc");
  EXPECT_EQ(out.str(), "a b\tc");
  char text[] = "abcde";
  my_strrev(text);
  EXPECT_STREQ(text, "edcba");
  char even[] = "ab";
  my_strrev(even);
  EXPECT_STREQ(even, "ba");
}

}  // namespace
