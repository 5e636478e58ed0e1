// Whatever bytes the data files hold, the readers give defaults or an empty tab: no
// crash, no hang, and no write to the file they read.
#include "storage/HistoryFile.h"
#include "storage/ItemFormat.h"
#include "storage/Settings.h"
#include "storage/TemplateFiles.h"
#include "storage/TextFile.h"

#include "TestSupport.h"

#include <gtest/gtest.h>
#include <fstream>

#include <algorithm>
#include <random>

namespace {

// Hostile file contents: random bytes, broken UTF-8, UTF-16, zeros, long lines, and
// damaged versions of well-formed files.
class HostileFiles {
public:
    explicit HostileFiles(unsigned seed) : rng_(seed) {}

    std::string Next(const std::string& wellFormed) {
        switch (Pick(8)) {
        case 0:
            return Random(Pick(4096));
        case 1:
            return std::string(Pick(100000), '\0');
        case 2: { // UTF-16 with byte order mark
            std::string bytes = "\xFF\xFE";
            for (char c : wellFormed) {
                bytes += c;
                bytes += '\0';
            }
            return bytes;
        }
        case 3:
            return wellFormed.substr(0, Pick(static_cast<int>(wellFormed.size()) + 1));
        case 4: { // a very long line
            std::string bytes = "\xEF\xBB\xBF" + std::string(1 << 20, 'x') + "=" + std::string(1 << 16, '[');
            return bytes;
        }
        case 5: { // flipped bytes in a good file
            std::string bytes = wellFormed;
            for (int i = 0, n = Pick(20); i < n && !bytes.empty(); ++i)
                bytes[Pick(static_cast<int>(bytes.size()))] = static_cast<char>(Pick(256));
            return bytes;
        }
        case 6: // broken UTF-8 sequences and lone surrogates encoded as UTF-8
            return "\xEF\xBB\xBF\xC3\x28\xE2\x82\x0A---\n\xED\xA0\x80[L][C]\xF8\x88\x80\x80\x80\n" + Random(64);
        default:
            return "NMCENC_V2:" + Random(Pick(300));
        }
    }

private:
    int Pick(int bound) { return bound <= 0 ? 0 : std::uniform_int_distribution<int>(0, bound - 1)(rng_); }
    std::string Random(int n) {
        std::string bytes(static_cast<size_t>(n), '\0');
        for (char& c : bytes)
            c = static_cast<char>(Pick(256));
        return bytes;
    }
    std::mt19937 rng_;
};

const char kGoodSettings[] =
    "\xEF\xBB\xBF[Window]\r\nRect=10,10,350,480\r\n\r\n[Options]\r\nHistoryLimit=20\r\nMaxHistory=100\r\n"
    "HotkeyMod=3\r\nHotkeyKey=86\r\n\r\n[Tabs]\r\nTab0=h\r\nTabType0=0\r\nTab1=t\r\nTabType1=2\r\n";
const char kGoodItems[] = "\xEF\xBB\xBF[LABEL]l\r\n[L][C]a\r\nb\r\n---\r\n\\---\r\n---\r\nc\r\n";

TEST(BadInput, SettingsReaderAcceptsAnyBytesAndNeverWrites) {
    const std::wstring path = DataFilePath(L"settings.ini");
    HostileFiles files(1234);
    for (int round = 0; round < 60; ++round) {
        const std::string bytes = files.Next(kGoodSettings);
        PutFile(path, bytes);
        AppSettings s;
        EXPECT_TRUE(LoadSettings(s));
        for (int32_t type : s.TabTypes)
            EXPECT_TRUE(type >= 0 && type <= 2);
        ASSERT_EQ(FileBytes(path), bytes) << "round " << round;
    }
    DeleteFileW(path.c_str());
}

TEST(BadInput, HistoryAndTemplateReadersAcceptAnyBytesAndNeverWrite) {
    HostileFiles files(5678);
    const std::wstring historyPath = DataFilePath(L"history.ini");
    const std::wstring templatePath = DataFilePath(L"templates.txt");
    for (int round = 0; round < 60; ++round) {
        const std::string bytes = files.Next(kGoodItems);
        PutFile(historyPath, bytes);
        PutFile(templatePath, bytes);
        TabSlot history;
        const std::vector<HistoryItem> items = LoadHistory(history, 100);
        EXPECT_LE(items.size(), 100u);
        if (history.encrypted) {
            EXPECT_TRUE(items.empty());
        }
        for (TabType type : {TabType::Template, TabType::MemoList, TabType::MemoPad}) {
            TabSlot slot;
            const std::vector<HistoryItem> loaded =
                LoadTemplates(L"templates.txt", slot.encrypted, slot.tempUnlocked, slot.password, type);
            if (type == TabType::MemoPad) {
                EXPECT_LE(loaded.size(), 1u);
            }
        }
        ASSERT_EQ(FileBytes(historyPath), bytes) << "round " << round;
        ASSERT_EQ(FileBytes(templatePath), bytes) << "round " << round;
    }
    DeleteFileW(historyPath.c_str());
    DeleteFileW(templatePath.c_str());
}

TEST(BadInput, DamagedSealedHistoryStaysSealedWithAPasswordHeld) {
    const std::wstring path = DataFilePath(L"history.ini");
    HostileFiles files(42);
    for (int round = 0; round < 8; ++round) {
        const std::string bytes =
            "NMCENC_V2:" + files.Next("AAAAAAAAAAAAAAAAAAAAAA==:AAAAAAAAAAAAAAAAAAAAAA==:AAAA:AAAA");
        PutFile(path, bytes);
        TabSlot history;
        history.password = L"pw";
        EXPECT_TRUE(LoadHistory(history, 100).empty());
        EXPECT_TRUE(history.encrypted);
        EXPECT_EQ(FileBytes(path), bytes);
    }
    DeleteFileW(path.c_str());
}

TEST(BadInput, ItemReaderTakesAnyText) {
    std::mt19937 rng(77);
    const wchar_t alphabet[] = L"-\\[]LCABE\r\n \t\0xあ\xD800\xDC00";
    for (int round = 0; round < 2000; ++round) {
        std::wstring text;
        const int n = std::uniform_int_distribution<int>(0, 200)(rng);
        for (int i = 0; i < n; ++i)
            text += alphabet[std::uniform_int_distribution<size_t>(0, std::size(alphabet) - 2)(rng)];
        const std::vector<HistoryItem> items = TextToItems(text);
        for (const HistoryItem& item : items)
            ASSERT_FALSE(item.text.empty() && item.label.empty());
        // Whatever was read is written back losslessly; a label stays on one line.
        std::vector<HistoryItem> expected = ExpectedAfterRoundTrip(items);
        for (HistoryItem& item : expected)
            std::replace(item.label.begin(), item.label.end(), L'\r', L' ');
        ASSERT_EQ(TextToItems(ItemsToText(items)), expected);
    }
}

} // namespace
