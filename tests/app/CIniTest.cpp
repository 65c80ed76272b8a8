#include "app/CIni.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "app/CIniText.h"
#include "tests/app/CIniTestFiles.h"

namespace {

class CIniTest : public ::testing::Test {
protected:
  // Loads `text` (UTF-16LE, as given) through a real file.
  bool LoadText(std::u16string_view text) { return ini.Load(folder.WriteText("s.txt", text)); }

  std::vector<std::u16string> SectionNames() const {
    std::vector<std::u16string> names;
    for (const CTreeNode* s = ini.Root()->child; s; s = s->next) names.emplace_back(ini.TextOf(s));
    return names;
  }

  std::vector<std::u16string> KeyNames(const CTreeNode* section) const {
    std::vector<std::u16string> names;
    for (const CTreeNode* k = section ? section->child : nullptr; k; k = k->next) {
      names.emplace_back(ini.TextOf(k));
    }
    return names;
  }

  CIniTestFolder folder;
  CIni ini;
};

using Names = std::vector<std::u16string>;

TEST_F(CIniTest, ReadsTheFormatAsTheProgramWritesIt) {
  ASSERT_TRUE(LoadText(u"\xFEFF[Gpu1]\r\nId=10DE2684\r\nFanWorkMode=2\r\nFanSpeed=55\r\n"
                       u"DyaGpuClock=-150\r\n[Gpu2]\r\nId=10DE2204\r\nGpuVF=-25000\r\n"));
  EXPECT_EQ(SectionNames(), (Names{u"Gpu1", u"Gpu2"}));
  const CTreeNode* gpu1 = ini.FindChild(ini.Root(), "Gpu1");
  const CTreeNode* gpu2 = ini.FindChild(ini.Root(), u"Gpu2");
  ASSERT_NE(gpu1, nullptr);
  ASSERT_NE(gpu2, nullptr);
  EXPECT_EQ(KeyNames(gpu1), (Names{u"Id", u"FanWorkMode", u"FanSpeed", u"DyaGpuClock"}));
  EXPECT_EQ(ini.ReadText(gpu1, "Id"), u"10DE2684");
  EXPECT_EQ(ini.ReadInt(gpu1, "FanSpeed"), 55);
  EXPECT_EQ(ini.ReadInt(gpu1, "DyaGpuClock"), -150);
  EXPECT_EQ(ini.ReadInt(gpu2, "GpuVF"), -25000);
  // A key of another section and a missing key both read as nothing.
  EXPECT_EQ(ini.FindChild(gpu2, "FanSpeed"), nullptr);
  EXPECT_EQ(ini.ReadInt(gpu2, "FanSpeed"), 0);
  EXPECT_EQ(ini.ReadText(gpu2, "Missing"), u"");
  EXPECT_EQ(ini.FindChild(ini.Root(), "Gpu3"), nullptr);
}

TEST_F(CIniTest, NamesAreMatchedWholeAndWithoutRegardToCase) {
  ASSERT_TRUE(LoadText(u"[Gpu12]\r\nId=twelve\r\nIdX=x\r\n[ GPU1 ]\r\nIDx=1\r\n id =one\r\n"));
  // A stored name that merely begins with the sought one is a different name.
  const CTreeNode* gpu1 = ini.FindChild(ini.Root(), "Gpu1");
  ASSERT_NE(gpu1, nullptr);
  EXPECT_EQ(ini.TextOf(gpu1), u"GPU1");
  EXPECT_EQ(ini.ReadText(gpu1, "Id"), u"one");
  EXPECT_EQ(ini.ReadText(ini.FindChild(ini.Root(), "gpu12"), "idx"), u"x");
  EXPECT_EQ(ini.FindChild(ini.Root(), "Gpu"), nullptr);
  EXPECT_EQ(ini.FindChild(ini.Root(), "Gpu123"), nullptr);
  EXPECT_EQ(ini.FindChild(nullptr, "Gpu1"), nullptr);
}

TEST_F(CIniTest, BlanksAreTrimmedFromNamesButValuesKeepThem) {
  ASSERT_TRUE(LoadText(u"[  Gpu1 ]\r\n  Id = 10DE2684 \r\n DyaMemClock =  250\r\n"));
  const CTreeNode* gpu1 = ini.FindChild(ini.Root(), "Gpu1");
  ASSERT_NE(gpu1, nullptr);
  EXPECT_EQ(KeyNames(gpu1), (Names{u"Id", u"DyaMemClock"}));
  // The id keeps its blanks and so no longer equals the id it spells.
  EXPECT_EQ(ini.ReadText(gpu1, "Id"), u" 10DE2684 ");
  EXPECT_EQ(ini.ReadInt(gpu1, "DyaMemClock"), 250);
}

TEST_F(CIniTest, AllBlankNamesKeepTheirRange) {
  ASSERT_TRUE(LoadText(u"[   ]\r\n  =v\r\n[]\r\n"));
  EXPECT_EQ(SectionNames(), (Names{u"   ", u""}));
  const CTreeNode* blank = ini.Root()->child;
  EXPECT_EQ(KeyNames(blank), (Names{u"  "}));
  EXPECT_EQ(ini.FindChild(ini.Root(), ""), blank->next);
}

TEST_F(CIniTest, WithoutTrimmingOrWithCaseTheNamesMustMatchExactly) {
  const auto file = folder.WriteText("s.txt", u"[ Gpu1 ]\r\nId =x\r\n");
  CIni exact(/*caseSensitive=*/true, /*trimNames=*/false);
  ASSERT_TRUE(exact.Load(file));
  EXPECT_EQ(exact.FindChild(exact.Root(), "Gpu1"), nullptr);
  const CTreeNode* section = exact.FindChild(exact.Root(), " Gpu1 ");
  ASSERT_NE(section, nullptr);
  EXPECT_EQ(exact.ReadText(section, "Id "), u"x");
  EXPECT_EQ(exact.FindChild(section, "ID "), nullptr);
}

TEST_F(CIniTest, LastLineWithoutLineEndGivesAKeyWithoutValue) {
  ASSERT_TRUE(LoadText(u"[Gpu1]\r\nFanSpeed=40\r\nGpuMode=3"));
  const CTreeNode* gpu1 = ini.FindChild(ini.Root(), "Gpu1");
  const CTreeNode* mode = ini.FindChild(gpu1, "GpuMode");
  ASSERT_NE(mode, nullptr);
  EXPECT_EQ(CIni::ValueOf(mode), nullptr);
  EXPECT_EQ(ini.ReadInt(gpu1, "GpuMode"), 0);
  EXPECT_EQ(ini.ReadInt(gpu1, "FanSpeed"), 40);
}

TEST_F(CIniTest, EqualsSignsAndBracketsInsideLines) {
  ASSERT_TRUE(LoadText(u"[Gpu1]\r\nA=1=2\r\n=5\r\n=B=7\r\nk[0]=[x]=y\r\n[Gpu2]Id=after\r\n[A][B]\r\n"));
  const CTreeNode* gpu1 = ini.FindChild(ini.Root(), "Gpu1");
  // "=5" has no key; in "=B=7" the text after the first sign starts the key name.
  EXPECT_EQ(KeyNames(gpu1), (Names{u"A", u"B", u"k[0]"}));
  EXPECT_EQ(ini.ReadText(gpu1, "A"), u"1=2");
  EXPECT_EQ(ini.ReadInt(gpu1, "B"), 7);
  EXPECT_EQ(ini.ReadText(gpu1, "k[0]"), u"[x]=y");
  // Text after a header's bracket starts a new line.
  EXPECT_EQ(ini.ReadText(ini.FindChild(ini.Root(), "Gpu2"), "Id"), u"after");
  EXPECT_EQ(SectionNames(), (Names{u"Gpu1", u"Gpu2", u"A", u"B"}));
}

TEST_F(CIniTest, LinesThatAreNotKeysOrHeadersAreIgnored) {
  ASSERT_TRUE(LoadText(u"Id=before any section\r\n[Gpu\r\nX=1\r\n[Gpu1]\r\n; a note\r\n"
                       u"#Hash=1\r\n\r\n   \r\n[Gpu\r\n2]\r\nFanSpeed=30\r\n[[Gpu3]\r\n"));
  // The broken header makes no section: its keys land in the section before it.
  EXPECT_EQ(SectionNames(), (Names{u"Gpu1", u"Gpu3"}));
  const CTreeNode* gpu1 = ini.FindChild(ini.Root(), "Gpu1");
  EXPECT_EQ(KeyNames(gpu1), (Names{u"#Hash", u"FanSpeed"}));
}

TEST_F(CIniTest, DuplicatesAreKeptAndTheFirstIsFound) {
  ASSERT_TRUE(LoadText(u"[Gpu1]\r\nA=1\r\nA=2\r\n[Gpu1]\r\nB=3\r\n"));
  EXPECT_EQ(SectionNames(), (Names{u"Gpu1", u"Gpu1"}));
  const CTreeNode* first = ini.FindChild(ini.Root(), "Gpu1");
  EXPECT_EQ(KeyNames(first), (Names{u"A", u"A"}));
  EXPECT_EQ(ini.ReadInt(first, "A"), 1);
  EXPECT_EQ(KeyNames(first->next), (Names{u"B"}));
}

TEST_F(CIniTest, EveryLineEndGivesTheSameTree) {
  for (const std::u16string eol : {u"\r\n", u"\n", u"\r", u"\n\r", u"\r\n\r\n"}) {
    const std::u16string text =
        u"[Gpu1]" + eol + u"Id=x" + eol + u"FanSpeed=5" + eol + u"[Gpu2]" + eol + u"Id=y" + eol;
    ASSERT_TRUE(LoadText(text));
    const CTreeNode* gpu1 = ini.FindChild(ini.Root(), "Gpu1");
    EXPECT_EQ(KeyNames(gpu1), (Names{u"Id", u"FanSpeed"}));
    EXPECT_EQ(ini.ReadText(gpu1, "Id"), u"x");
    EXPECT_EQ(ini.ReadInt(gpu1, "FanSpeed"), 5);
    EXPECT_EQ(ini.ReadText(ini.FindChild(ini.Root(), "Gpu2"), "Id"), u"y");
  }
}

TEST_F(CIniTest, ByteOrderMarkOnlyCountsAtTheStart) {
  ASSERT_TRUE(LoadText(u"[Gpu1]\r\n\xFEFFId=x\r\nK\xFEFF=\xFEFFv\r\n"));
  const CTreeNode* gpu1 = ini.FindChild(ini.Root(), "Gpu1");
  // A mark where a line starts does not begin the name; inside a name or value it is text.
  EXPECT_EQ(KeyNames(gpu1), (Names{u"Id", u"K\xFEFF"}));
  EXPECT_EQ(ini.ReadText(gpu1, "Id"), u"x");
  EXPECT_EQ(ini.TextOf(CIni::ValueOf(gpu1->child->next)), u"\xFEFFv");
  EXPECT_EQ(ini.FindChild(gpu1, "K"), nullptr);
  // A mark alone on a line makes no key either.
  ASSERT_TRUE(LoadText(u"\xFEFF\xFEFF[Gpu1]\r\n\xFEFF\r\nA=1\r\n"));
  EXPECT_EQ(KeyNames(ini.FindChild(ini.Root(), "Gpu1")), (Names{u"A"}));
}

TEST_F(CIniTest, EmptyAndOddSizedFiles) {
  ASSERT_TRUE(ini.Load(folder.WriteBytes("empty.txt", {})));
  ASSERT_NE(ini.Root(), nullptr);
  EXPECT_EQ(ini.Root()->child, nullptr);
  // A lone byte holds no UTF-16 unit and, without a NUL, is read as UTF-8, which 0xFF is not.
  EXPECT_FALSE(ini.Load(folder.WriteBytes("one.txt", {std::byte{0xFF}})));
  EXPECT_EQ(ini.Failure(), CIni::LoadFailure::NotText);
  ASSERT_TRUE(ini.Load(folder.WriteBytes("one.txt", {std::byte{0xFF}, std::byte{0x00}})));
  EXPECT_EQ(ini.Root()->child, nullptr);
  ASSERT_TRUE(LoadText(u"\xFEFF"));
  EXPECT_EQ(ini.Root()->child, nullptr);

  // The odd byte is the low half of a CR that never got its high half: it must not end the
  // value line.
  auto bytes = CIniTestFolder::Utf16Le(u"[Gpu1]\r\nA=1\r\nB=2");
  bytes.push_back(std::byte{0x0D});
  ASSERT_TRUE(ini.Load(folder.WriteBytes("odd.txt", bytes)));
  const CTreeNode* gpu1 = ini.FindChild(ini.Root(), "Gpu1");
  EXPECT_EQ(ini.ReadInt(gpu1, "A"), 1);
  ASSERT_NE(ini.FindChild(gpu1, "B"), nullptr);
  EXPECT_EQ(CIni::ValueOf(ini.FindChild(gpu1, "B")), nullptr);
}

TEST_F(CIniTest, FilesThatCannotBeReadLeaveTheReaderEmpty) {
  ASSERT_TRUE(LoadText(u"[Gpu1]\r\nA=1\r\n"));
  EXPECT_FALSE(ini.Load(folder.Path() / "missing.txt"));
  EXPECT_FALSE(ini.IsLoaded());
  EXPECT_EQ(ini.Root(), nullptr);
  EXPECT_EQ(ini.FindChild(ini.Root(), "Gpu1"), nullptr);
  EXPECT_TRUE(ini.Buffer().empty());

  EXPECT_FALSE(ini.Load(folder.Path()));  // a folder
  EXPECT_EQ(ini.Failure(), CIni::LoadFailure::NotAFile);
  EXPECT_FALSE(ini.Load(""));

  // Larger than any settings file may be: refused before anything is read.
  const auto huge = folder.Path() / "huge.txt";
  folder.WriteBytes("huge.txt", {});
  std::filesystem::resize_file(huge, CIni::kMaxFileBytes + 2);
  EXPECT_FALSE(ini.Load(huge));
  EXPECT_EQ(ini.Failure(), CIni::LoadFailure::TooLarge);
  EXPECT_EQ(ini.Root(), nullptr);
}

// The reader's memory stays within ten times the file's size for the densest files of the
// largest size it takes, in either encoding: such a file loads within it or is refused as
// too large.
TEST(CIniMemory, TheLargestDenseFilesTakeAtMostTenTimesTheirSize) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__) || !defined(__GLIBC__)
  GTEST_SKIP() << "only glibc's own allocator is counted (no sanitizer, not Windows)";
#else
  for (const std::string line : {"[a]\n", "a=\n", "=\n", "a\n", "[a]\na=b\n"}) {
    for (const bool utf16 : {false, true}) {
      std::vector<std::byte> bytes;
      while (bytes.size() + line.size() * (utf16 ? 2 : 1) <= CIni::kMaxFileBytes)
        for (const char c : line) {
          bytes.push_back(static_cast<std::byte>(c));
          if (utf16) bytes.push_back(std::byte{0});
        }
      const std::size_t before = mallinfo2().uordblks;
      CIni ini;
      if (!ini.LoadBytes(bytes)) {
        EXPECT_EQ(ini.Failure(), CIni::LoadFailure::TooLarge) << line << ini.FailureText();
      }
      const std::size_t used = mallinfo2().uordblks - before;
      EXPECT_LE(used, 10 * bytes.size()) << line << (utf16 ? " (UTF-16LE)" : " (UTF-8)");
    }
  }
#endif
}

// A profile saved by an editor, or converted with iconv, is UTF-8; the program writes UTF-16LE.
// Either reads the same, with or without its mark; other bytes are refused with the place they
// went wrong, never parsed as garbage.
TEST_F(CIniTest, ReadsUtf16LeAndUtf8AndRefusesOtherBytes) {
  const std::u16string text = u"[Gpu1]\r\nId=K\u00FChler \u20AC\r\n";
  const std::string utf8 = CIniText::ToUtf8(text);
  const auto bytes = [](std::string_view raw) {
    const auto* data = reinterpret_cast<const std::byte*>(raw.data());
    return std::vector<std::byte>(data, data + raw.size());
  };
  struct Case { const char* name; std::vector<std::byte> bytes; bool holdsGpu1; const char* refusal; };
  const Case cases[] = {
      {"UTF-16LE with mark", CIniTestFolder::Utf16Le(u"\xFEFF" + text), true, nullptr},
      {"UTF-16LE without mark", CIniTestFolder::Utf16Le(text), true, nullptr},
      {"UTF-8 with mark", bytes("\xEF\xBB\xBF" + utf8), true, nullptr},
      {"UTF-8 without mark", bytes(utf8), true, nullptr},
      {"Latin-1", bytes("[Gpu1]\r\nId=K\xFChler\r\n"), false,
       "is not valid UTF-8 or UTF-16LE text: the byte at offset 12 (0xFC)"},
      {"UTF-8 mark, then a cut sequence", bytes("\xEF\xBB\xBF[Gpu1]\r\nId=\xE2\x82\r\n"), false,
       "is not valid UTF-8 text: the byte at offset 14 (0xE2)"},
      {"random bytes", bytes("\x9A\x13\xF7\x5B\xC4\x88\x3D\xE9"), false, "offset 0 (0x9A)"},
      // With NULs the bytes are UTF-16LE units that make no header and no key.
      {"random bytes with NULs", bytes(std::string_view("\x89PNG\r\n\x1A\n\0\0\0\rIHDR\0\x80", 18)), false,
       nullptr},
      {"empty", {}, false, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CIni inMemory;  // the same bytes read the same from memory
    EXPECT_EQ(inMemory.LoadBytes(c.bytes), ini.Load(folder.WriteBytes("enc.txt", c.bytes)));
    EXPECT_EQ(ini.Failure(), c.refusal ? CIni::LoadFailure::NotText : CIni::LoadFailure::None);
    EXPECT_NE(ini.FailureText().find(c.refusal ? c.refusal : ""), std::string::npos) << ini.FailureText();
    EXPECT_EQ(inMemory.FailureText(), ini.FailureText());
    if (c.refusal) continue;
    EXPECT_EQ(ini.Root()->child != nullptr, c.holdsGpu1);
    if (c.holdsGpu1) {
      EXPECT_EQ(ini.ReadText(ini.FindChild(ini.Root(), "Gpu1"), "Id"), u"K\u00FChler \u20AC");
    }
  }
}

TEST_F(CIniTest, ReleaseEmptiesAndTheReaderCanLoadAgain) {
  ASSERT_TRUE(LoadText(u"[Gpu1]\r\nA=1\r\n"));
  ini.Release();
  EXPECT_EQ(ini.Root(), nullptr);
  EXPECT_TRUE(ini.Buffer().empty());
  ASSERT_TRUE(LoadText(u"[Gpu2]\r\nA=2\r\n"));
  EXPECT_EQ(SectionNames(), (Names{u"Gpu2"}));
  EXPECT_EQ(ini.ReadInt(ini.FindChild(ini.Root(), "Gpu2"), "A"), 2);
}

TEST_F(CIniTest, VeryLongLinesAndNames) {
  // Together as long as the largest file the reader takes allows.
  const std::u16string longValue(400'000, u'7');
  const std::u16string longName(100'000, u'k');
  ASSERT_TRUE(LoadText(u"[Gpu1]\r\nV=" + longValue + u"\r\n" + longName + u" = -12\r\n"));
  const CTreeNode* gpu1 = ini.FindChild(ini.Root(), "Gpu1");
  EXPECT_EQ(ini.ReadText(gpu1, "V"), longValue);
  EXPECT_EQ(ini.ReadInt(gpu1, "V"), std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(ini.IntOf(CIni::ValueOf(ini.FindChild(gpu1, longName))), -12);
}

TEST_F(CIniTest, TheLargestFileLoadsWhole) {
  std::u16string text = u"\xFEFF";
  constexpr int kSections = 3'500;
  for (int s = 1; s <= kSections; ++s) {
    text += u"[Gpu" + CIniText::FromUtf8(std::to_string(s)) + u"]\r\n";
    for (int k = 0; k < 10; ++k) {
      text += u"Key" + CIniText::FromUtf8(std::to_string(k)) + u"=" +
              CIniText::FromUtf8(std::to_string(s * 100 + k)) + u"\r\n";
    }
  }
  ASSERT_GT(text.size() * 2, 900'000u);
  ASSERT_LE(text.size() * 2, CIni::kMaxFileBytes);
  ASSERT_TRUE(LoadText(text));
  const CTreeNode* last = ini.FindChild(ini.Root(), "Gpu3500");
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(last->next, nullptr);
  EXPECT_EQ(ini.ReadInt(last, "Key9"), kSections * 100 + 9);
  EXPECT_EQ(ini.ReadInt(ini.FindChild(ini.Root(), "Gpu777"), "Key3"), 77703);
}

TEST_F(CIniTest, UnpairedSurrogatesAreKeptAsText) {
  ASSERT_TRUE(LoadText(u"[Gpu\xD800]\r\nId=\xDC00x\xD83D\xDE00\r\n[Gpu1]\r\nA=1\r\n"));
  const CTreeNode* odd = ini.Root()->child;
  EXPECT_EQ(ini.TextOf(odd), u"Gpu\xD800");
  const std::u16string id = ini.ReadText(odd, "Id");
  EXPECT_EQ(id, u"\xDC00x\xD83D\xDE00");
  EXPECT_EQ(CIniText::ToUtf8(id), "\xEF\xBF\xBDx\xF0\x9F\x98\x80");
  EXPECT_EQ(ini.ReadInt(ini.FindChild(ini.Root(), "Gpu1"), "A"), 1);
}

TEST_F(CIniTest, AnEmptyValueDoesNotBorrowTheNextLinesNumber) {
  // Skipping white space must stop at the value's end, or "A=" would read the 7 below it.
  ASSERT_TRUE(LoadText(u"[Gpu1]\r\nA=\r\n  7\r\nB= \r\n8=x\r\n"));
  const CTreeNode* gpu1 = ini.FindChild(ini.Root(), "Gpu1");
  ASSERT_NE(CIni::ValueOf(ini.FindChild(gpu1, "A")), nullptr);
  EXPECT_EQ(ini.ReadInt(gpu1, "A"), 0);
  EXPECT_EQ(ini.ReadInt(gpu1, "B"), 0);
}

TEST(CIniTextTest, NumbersConvertAsWcstolDoes) {
  const std::pair<std::u16string_view, std::int32_t> cases[] = {
      {u"150", 150},          {u"  150", 150},       {u"\t\v\f 9", 9},
      {u"-40", -40},          {u"+7", 7},            {u"12abc", 12},
      {u"1 2", 1},            {u"abc", 0},           {u"", 0},
      {u"-", 0},              {u"+-5", 0},           {u"0x1F", 0},
      {u"007", 7},            {u"2147483647", 2147483647},
      {u"2147483648", std::numeric_limits<std::int32_t>::max()},
      {u"-2147483648", std::numeric_limits<std::int32_t>::min()},
      {u"-2147483649", std::numeric_limits<std::int32_t>::min()},
      {u"99999999999999999999999", std::numeric_limits<std::int32_t>::max()},
      {u"\xFF11", 0},  // a full-width digit is not a digit here
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(CIniText::ToInt32(text), expected) << CIniText::ToUtf8(text);
  }
}

TEST(CIniTextTest, Utf8AndUtf16ConvertBothWays) {
  const std::string utf8 = "Gpu \xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80";
  const std::u16string utf16 = u"Gpu \u00E9 \u20AC \xD83D\xDE00";
  EXPECT_EQ(CIniText::FromUtf8(utf8), utf16);
  EXPECT_EQ(CIniText::ToUtf8(utf16), utf8);
  // Malformed input becomes U+FFFD, one per bad sequence, and what follows survives.
  EXPECT_EQ(CIniText::FromUtf8("a\xFF" "b"), u"a\xFFFD" u"b");
  EXPECT_EQ(CIniText::FromUtf8("a\xC3"), u"a\xFFFD");
  EXPECT_EQ(CIniText::FromUtf8("\xC0\xAF"), u"\xFFFD\xFFFD");     // overlong '/'
  EXPECT_EQ(CIniText::FromUtf8("\xED\xA0\x80x"), u"\xFFFDx");     // encoded surrogate
  EXPECT_EQ(CIniText::FromUtf8("\xE2\x82z"), u"\xFFFDz");
  EXPECT_EQ(CIniText::ToUtf8(u"\xD800\xD800\xDC00"), "\xEF\xBF\xBD\xF0\x90\x80\x80");
}

TEST(CIniTextTest, CaseIsFoldedForAsciiLettersOnly) {
  EXPECT_TRUE(CIniText::EqualsIgnoreCase(u"DyaGpuClock", u"dyagpuCLOCK"));
  EXPECT_FALSE(CIniText::EqualsIgnoreCase(u"Gpu1", u"Gpu1 "));
  EXPECT_FALSE(CIniText::EqualsIgnoreCase(u"\u00C9", u"\u00E9"));
  EXPECT_FALSE(CIniText::EqualsIgnoreCase(u"[", u"{"));  // 0x5B and 0x7B differ by 0x20 too
}

TEST(CIniBytesTest, BytesInMemoryParseAsTheFileWould) {
  CIni ini;
  const auto bytes = CIniTestFolder::Utf16Le(u"\xFEFF[Gpu1]\r\nId=a\r\n");
  ASSERT_TRUE(ini.LoadBytes(bytes));
  EXPECT_EQ(ini.ReadText(ini.FindChild(ini.Root(), "gpu1"), "ID"), u"a");
  EXPECT_EQ(ini.Buffer().size(), bytes.size() / 2);
}

}  // namespace

#ifdef PYX_TEST_DATA_DIR
namespace {

// The fuzz seed corpus is made of settings files as the program writes them and as people
// edit them by hand; each must load and read as intended.
TEST(CIniSeedFilesTest, RealSettingsFilesRead) {
  const std::filesystem::path seeds = std::filesystem::path(PYX_TEST_DATA_DIR) / "fuzz-seed";
  CIni ini;
  ASSERT_TRUE(ini.Load(seeds / "two-gpus.txt"));
  const CTreeNode* gpu1 = ini.FindChild(ini.Root(), "Gpu1");
  const CTreeNode* gpu2 = ini.FindChild(ini.Root(), "Gpu2");
  EXPECT_EQ(ini.ReadText(gpu1, "Id"), u"2204");
  EXPECT_EQ(ini.FindChild(gpu1, "FanSpeed"), nullptr);  // fan mode 1 writes no speed
  EXPECT_EQ(ini.ReadInt(gpu2, "FanSpeed"), 1800);
  EXPECT_EQ(ini.ReadInt(gpu2, "DyaMemClock"), -1000);
  EXPECT_EQ(ini.ReadInt(gpu2, "GM2MODE"), 1);

  ASSERT_TRUE(ini.Load(seeds / "hand-edited.txt"));
  gpu1 = ini.FindChild(ini.Root(), "Gpu1");
  EXPECT_EQ(ini.ReadText(gpu1, "Id"), u" 2684");
  EXPECT_EQ(ini.ReadInt(gpu1, "FanSpeed"), 70);
  EXPECT_EQ(ini.ReadInt(gpu1, "DyaGpuClock"), 90);
  EXPECT_EQ(ini.FindChild(gpu1, "PowerTarget"), nullptr);
  EXPECT_EQ(ini.ReadText(ini.FindChild(ini.Root(), "Gpu2"), "Id"), u"2204");

  ASSERT_TRUE(ini.Load(seeds / "awkward.txt"));
  EXPECT_EQ(ini.ReadText(ini.FindChild(ini.Root(), "Gpu1"), "Id"), u"2204");

  for (const auto& entry : std::filesystem::directory_iterator(seeds)) {
    EXPECT_TRUE(ini.Load(entry.path())) << entry.path();
  }
}

}  // namespace
#endif
