// The registry export reader and TRegistry on top of it.
#include "app/registry/registry.h"

#include <filesystem>
#include <map>
#include <optional>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "app/registry/registry_file.h"
#include "platform/testing/fault_env.h"
#include "tests/support/temp_dir.h"

namespace tessaly::app {
namespace {

constexpr char kV5[] = "Windows Registry Editor Version 5.00\r\n\r\n";
constexpr char kKey[] =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Data Access Corporation\\Visual "
    "DataFlex\\5\\Workspaces\\Tessaly";

RegistryFile ParseV5(const std::string& body) {
  return RegistryFile::Parse(kV5 + body, "test.reg");
}

// ---- Values that parse ------------------------------------------------------

struct ValueCase {
  const char* line;           // the value line under [HKEY_LOCAL_MACHINE\A]
  uint32_t type;              // expected type
  const char* text;           // expected text (string types)
  std::vector<uint8_t> data;  // expected bytes (other types)
};

std::ostream& operator<<(std::ostream& out, const ValueCase& c) {
  return out << c.line;
}

class RegistryValueTest : public ::testing::TestWithParam<ValueCase> {};

TEST_P(RegistryValueTest, ParsesToTypeAndContent) {
  const ValueCase& c = GetParam();
  const RegistryFile file =
      ParseV5(std::string("[HKEY_LOCAL_MACHINE\\A]\r\n") + c.line + "\r\n");
  const RegistryValue* value = file.FindValue("HKEY_LOCAL_MACHINE\\A", "V");
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(value->type, c.type) << RegistryTypeName(value->type);
  if (c.type == kRegString || c.type == kRegExpandString) {
    EXPECT_EQ(value->text, c.text);
  } else {
    EXPECT_EQ(value->data, c.data);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Forms, RegistryValueTest,
    ::testing::Values(
        ValueCase{R"("V"="C:\\Apps\\Ledger\\Data")",
                  kRegString,
                  R"(C:\Apps\Ledger\Data)",
                  {}},
        ValueCase{R"("V"="say \"hi\"")", kRegString, R"(say "hi")", {}},
        ValueCase{R"("V"="trailing\\")", kRegString, "trailing\\", {}},
        ValueCase{R"("V"="")", kRegString, "", {}},
        ValueCase{R"("V"="/home/ü/Dätä")", kRegString, "/home/ü/Dätä", {}},
        ValueCase{
            R"("v" = "spaces around =")", kRegString, "spaces around =", {}},
        ValueCase{"\"V\"=dword:0000001f", kRegDword, "", {0x1F, 0, 0, 0}},
        ValueCase{
            "\"V\"=dword:FFFFFFFF", kRegDword, "", {0xFF, 0xFF, 0xFF, 0xFF}},
        ValueCase{"\"V\"=hex:01,02,ff", kRegBinary, "", {1, 2, 0xFF}},
        ValueCase{"\"V\"=hex:", kRegBinary, "", {}},
        // "C:\x" as UTF-16LE with its terminating NUL.
        ValueCase{"\"V\"=hex(2):43,00,3a,00,5c,00,78,00,00,00",
                  kRegExpandString,
                  "C:\\x",
                  {}},
        ValueCase{"\"V\"=hex(1):e9,00,00,00", kRegString, "é", {}},
        ValueCase{"\"V\"=hex(7):41,00,00,00,\\\r\n  00,00",
                  kRegMultiString,
                  "",
                  {0x41, 0, 0, 0, 0, 0}},
        ValueCase{"\"V\"=hex(b):01,00,00,00,00,00,00,00",
                  kRegQword,
                  "",
                  {1, 0, 0, 0, 0, 0, 0, 0}}));

// ---- Files that do not parse ------------------------------------------------

struct MalformedCase {
  const char* content;
  const char* message_part;
};

std::ostream& operator<<(std::ostream& out, const MalformedCase& c) {
  return out << c.content;
}

class MalformedRegistryTest : public ::testing::TestWithParam<MalformedCase> {};

TEST_P(MalformedRegistryTest, RaisesWithTheReason) {
  const MalformedCase& c = GetParam();
  try {
    RegistryFile::Parse(c.content, "bad.reg");
    FAIL() << "no exception";
  } catch (const ERegistryException& e) {
    EXPECT_STREQ(e.ClassName(), "ERegistryException");
    EXPECT_NE(e.Message().find(c.message_part), std::string::npos)
        << e.Message();
    EXPECT_EQ(e.Message().rfind("bad.reg", 0), 0u) << e.Message();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, MalformedRegistryTest,
    ::testing::Values(
        MalformedCase{"", "is not a registry export file"},
        MalformedCase{"[HKEY_LOCAL_MACHINE\\A]\r\n",
                      "is not a registry export"},
        MalformedCase{"Windows Registry Editor Version 4.00\r\n",
                      "is not a registry export"},
        MalformedCase{"REGEDIT4\r\n\"V\"=\"x\"\r\n",
                      "line 2: a value outside any key"},
        MalformedCase{"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\A\r\n",
                      "line 2: a key line must end with ']'"},
        MalformedCase{"REGEDIT4\r\n[HKEY_NOWHERE\\A]\r\n",
                      "unknown root key \"HKEY_NOWHERE\""},
        MalformedCase{"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"V\"=\"open\r\n",
                      "line 3: unterminated string"},
        MalformedCase{
            "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"V\"=\"a\\tb\"\r\n",
            "unknown escape"},
        MalformedCase{
            "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"V\"=dword:123456789\r\n",
            "1 to 8 hex digits"},
        MalformedCase{
            "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"V\"=dword:12g4\r\n",
            "bad hex digit"},
        MalformedCase{
            "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"V\"=hex:1,zz\r\n",
            "bad byte \"zz\""},
        MalformedCase{"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"V\"=hex:01,\\",
                      "continues past the end"},
        MalformedCase{"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"V\"=42\r\n",
                      "neither a quoted string"},
        MalformedCase{"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\A]\r\nV=\"x\"\r\n",
                      "expected a quoted value name"}));

// ---- Whole files
// ----------------------------------------------------------------

TEST(RegistryFileTest, Regedit4StringsAndHexStringsAreAnsi) {
  const RegistryFile file = RegistryFile::Parse(
      "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\A]\n\"V\"=hex(2):2f,64,00\n", "r4.reg");
  EXPECT_EQ(file.format(), RegistryFile::Format::kRegedit4);
  const RegistryValue* value = file.FindValue("HKEY_LOCAL_MACHINE\\A", "V");
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(value->text, "/d");
}

TEST(RegistryFileTest, Utf16FileWithByteOrderMarkIsRead) {
  const std::string text =
      std::string(kV5) + "[" + kKey + "]\r\n\"DataPath\"=\"/data/Dätä\"\r\n";
  // Encode as the registry editor saves: UTF-16LE with a byte-order mark.
  std::string utf16 = "\xFF\xFE";
  for (size_t i = 0; i < text.size();) {
    uint32_t cp = static_cast<uint8_t>(text[i]);
    if (cp >= 0xC0) {  // two-byte sequences suffice here
      cp = ((cp & 0x1F) << 6) | (static_cast<uint8_t>(text[i + 1]) & 0x3F);
      i += 2;
    } else {
      ++i;
    }
    utf16 += static_cast<char>(cp & 0xFF);
    utf16 += static_cast<char>(cp >> 8);
  }
  const RegistryFile file = RegistryFile::Parse(utf16, "u16.reg");
  const RegistryValue* value = file.FindValue(kKey, "DataPath");
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(value->text, "/data/Dätä");
}

TEST(RegistryFileTest, KeysAndNamesCompareWithoutCaseAndParentsExist) {
  const RegistryFile file = ParseV5(
      "; exported\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Vendor\\App]\r\n"
      "\"DataPath\"=\"/a\"\r\n"
      "@=\"default\"\r\n");
  EXPECT_TRUE(file.KeyExists("hkey_local_machine\\SOFTWARE\\vendor\\app"));
  EXPECT_TRUE(file.KeyExists("HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\"));
  EXPECT_TRUE(file.KeyExists("HKEY_LOCAL_MACHINE"));
  EXPECT_FALSE(file.KeyExists("HKEY_LOCAL_MACHINE\\SOFTWARE\\Vend"));
  EXPECT_FALSE(file.KeyExists("HKEY_CURRENT_USER\\SOFTWARE\\Vendor\\App"));
  ASSERT_NE(
      file.FindValue("HKEY_LOCAL_MACHINE\\SOFTWARE\\VENDOR\\APP", "datapath"),
      nullptr);
  const RegistryValue* unnamed =
      file.FindValue("HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\App", "");
  ASSERT_NE(unnamed, nullptr);
  EXPECT_EQ(unnamed->text, "default");
}

TEST(RegistryFileTest, LaterLinesOverrideAndDelete) {
  const RegistryFile file = ParseV5(
      "[HKEY_LOCAL_MACHINE\\A]\r\n\"X\"=\"1\"\r\n\"Y\"=\"1\"\r\n"
      "[HKEY_LOCAL_MACHINE\\A\\B]\r\n\"Z\"=\"1\"\r\n"
      "[HKEY_LOCAL_MACHINE\\C\\D]\r\n"
      "[hkey_local_machine\\a]\r\n\"x\"=\"2\"\r\n\"Y\"=-\r\n"
      "[-HKEY_LOCAL_MACHINE\\C]\r\n");
  EXPECT_EQ(file.FindValue("HKEY_LOCAL_MACHINE\\A", "X")->text, "2");
  EXPECT_EQ(file.FindValue("HKEY_LOCAL_MACHINE\\A", "Y"), nullptr);
  EXPECT_NE(file.FindValue("HKEY_LOCAL_MACHINE\\A\\B", "Z"), nullptr);
  EXPECT_FALSE(file.KeyExists("HKEY_LOCAL_MACHINE\\C"));
  EXPECT_FALSE(file.KeyExists("HKEY_LOCAL_MACHINE\\C\\D"));
}

// ---- TRegistry
// -----------------------------------------------------------------

class TRegistryTest : public ::testing::Test {
 protected:
  std::string Write(const std::string& body) {
    return dir_.WriteFile("registry.reg", std::string(kV5) + body);
  }
  test::TempDir dir_;
};

TEST_F(TRegistryTest, ReadsTheDataPathLikeTheCollector) {
  const std::string name =
      Write(std::string("[") + kKey + "]\r\n\"DataPath\"=\"/srv/Data\"\r\n");
  TRegistry registry(KEY_ALL_ACCESS, name);
  registry.SetRootKey(HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(registry.OpenKey(
      "\\SOFTWARE\\Data Access Corporation\\Visual DataFlex\\5\\Workspaces\\"
      "Tessaly",
      false));
  EXPECT_EQ(registry.ReadString("DataPath"), "/srv/Data");
  EXPECT_EQ(registry.ReadString("Missing"), "");
  EXPECT_TRUE(registry.ValueExists("datapath"));
  registry.CloseKey();
  EXPECT_FALSE(registry.HasCurrentKey());
}

TEST_F(TRegistryTest, RelativeKeysOpenBelowTheCurrentOne) {
  const std::string name =
      Write("[HKEY_LOCAL_MACHINE\\SOFTWARE\\V\\App]\r\n\"K\"=\"v\"\r\n");
  TRegistry registry(KEY_READ, name);
  registry.SetRootKey(HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(registry.OpenKey("SOFTWARE\\V", false));
  ASSERT_TRUE(registry.OpenKey("App", false));
  EXPECT_EQ(registry.CurrentPath(), "SOFTWARE\\V\\App");
  EXPECT_EQ(registry.ReadString("K"), "v");
  EXPECT_FALSE(registry.OpenKey("Nothing", false));
  EXPECT_EQ(registry.CurrentPath(), "SOFTWARE\\V\\App") << "a failed open "
                                                           "keeps the key";
  // The root key decides where paths start.
  registry.SetRootKey(HKEY_CURRENT_USER);
  EXPECT_FALSE(registry.OpenKey("\\SOFTWARE\\V\\App", false));
}

TEST_F(TRegistryTest, CreatingAMissingKeyGivesAnEmptyKey) {
  const std::string name = Write("");
  TRegistry registry(KEY_ALL_ACCESS, name);
  registry.SetRootKey(HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(registry.OpenKey("\\SOFTWARE\\New", true));
  EXPECT_EQ(registry.ReadString("DataPath"), "");
  EXPECT_EQ(dir_.ReadFile("registry.reg"), kV5) << "the file is not written";
}

TEST_F(TRegistryTest, ValueOfAnotherTypeRaises) {
  const std::string name = Write(
      "[HKEY_LOCAL_MACHINE\\A]\r\n\"N\"=dword:00000001\r\n"
      "\"B\"=hex:00\r\n\"E\"=hex(2):41,00,00,00\r\n");
  TRegistry registry(KEY_ALL_ACCESS, name);
  registry.SetRootKey(HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(registry.OpenKey("\\A", false));
  EXPECT_EQ(registry.ReadString("E"), "A") << "expandable strings are strings";
  try {
    registry.ReadString("N");
    FAIL() << "no exception";
  } catch (const ERegistryException& e) {
    EXPECT_EQ(e.Message(),
              "Invalid data type for 'N' (dword where a string is expected)");
  }
  EXPECT_THROW(registry.ReadString("B"), ERegistryException);
}

TEST_F(TRegistryTest, MissingOrUnreadableFileReadsAsEmpty) {
  TRegistry missing(KEY_ALL_ACCESS, dir_.Join("none.reg"));
  missing.SetRootKey(HKEY_LOCAL_MACHINE);
  EXPECT_FALSE(missing.OpenKey("\\SOFTWARE", false));
  EXPECT_EQ(missing.ReadString("DataPath"), "");

  TRegistry folder(KEY_ALL_ACCESS, dir_.path());
  folder.SetRootKey(HKEY_LOCAL_MACHINE);
  EXPECT_FALSE(folder.OpenKey("\\SOFTWARE", false));

  const std::string name = Write("[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n");
  platform::FaultEnv env;
  env.RefuseOpen(name);
  TRegistry refused(KEY_ALL_ACCESS, name, env);
  refused.SetRootKey(HKEY_LOCAL_MACHINE);
  EXPECT_FALSE(refused.OpenKey("\\SOFTWARE", false));
}

TEST_F(TRegistryTest, FileIsChosenFromTheEnvironment) {
  std::map<std::string, std::string> vars;
  auto getenv = [&](const char* name) -> std::optional<std::string> {
    auto it = vars.find(name);
    if (it == vars.end()) return std::nullopt;
    return it->second;
  };
  platform::Env& env = platform::Env::Default();

  vars = {{"HOME", dir_.Join("home")}};
  EXPECT_EQ(RegistryFileName(getenv, env), "/etc/tessaly/registry.reg")
      << "no user file yet";

  std::filesystem::create_directories(dir_.Join("home/.config/tessaly"));
  dir_.WriteFile("home/.config/tessaly/registry.reg", kV5);
  EXPECT_EQ(RegistryFileName(getenv, env),
            dir_.Join("home/.config/tessaly/registry.reg"));

  vars["XDG_CONFIG_HOME"] = dir_.Join("xdg");
  EXPECT_EQ(RegistryFileName(getenv, env), "/etc/tessaly/registry.reg")
      << "XDG_CONFIG_HOME replaces ~/.config";
  std::filesystem::create_directories(dir_.Join("xdg/tessaly"));
  dir_.WriteFile("xdg/tessaly/registry.reg", kV5);
  EXPECT_EQ(RegistryFileName(getenv, env),
            dir_.Join("xdg/tessaly/registry.reg"));

  vars["TESSALY_REGISTRY"] = "/nowhere/x.reg";
  EXPECT_EQ(RegistryFileName(getenv, env), "/nowhere/x.reg")
      << "named explicitly, even when missing";
  vars["TESSALY_REGISTRY"] = "";
  EXPECT_EQ(RegistryFileName(getenv, env),
            dir_.Join("xdg/tessaly/registry.reg"));
}

}  // namespace
}  // namespace tessaly::app
