// history.ini and the template files on disk: plain, sealed, memo pads and the bare form.
#include "storage/DataFile.h"
#include "storage/HistoryFile.h"
#include "storage/SlotFile.h"
#include "storage/TemplateFiles.h"

#include "crypto/Envelope.h"
#include "storage/Settings.h"
#include "storage/TextFile.h"

#include "TestSupport.h"

#include <gtest/gtest.h>
#include <fstream>

namespace {

const std::string kBom = "\xEF\xBB\xBF";

struct DataFileTest : testing::Test {
    void SetUp() override {
        for (const wchar_t* name : {L"history.ini", L"templates.txt", L"templates2.txt", L"templates3.txt"})
            DeleteFileW(DataFilePath(name).c_str());
    }
    TabSlot history;

    std::vector<HistoryItem> LoadTemplate(const wchar_t* name, TabType type, TabSlot& slot) {
        return LoadTemplates(name, slot.encrypted, slot.tempUnlocked, slot.password, type);
    }
    std::vector<HistoryItem> LoadTemplate(const wchar_t* name, TabType type) {
        TabSlot slot;
        return LoadTemplate(name, type, slot);
    }
};

// A hard stop during a save leaves the temporary file. Beside its data file it goes, and the data
// file keeps its content. Without one it may be the only copy: put in place when it is whole, else
// kept beside as .recovered, and never deleted.
TEST_F(DataFileTest, LeftoversOfAWriteCutShortAreSettledAndNeverTheOnlyCopyDeleted) {
    DeleteFileW(DataFilePath(L"settings.ini").c_str());
    const std::string sealed = ToUtf8(EncryptText(L"sealed memo", L"pw"));
    PutFile(DataFilePath(L"history.ini"), kBom + "kept\r\n");
    PutFile(SafeWriteTemporaryPath(DataFilePath(L"history.ini")), "half a wri");
    PutFile(SafeWriteTemporaryPath(DataFilePath(L"templates.txt")), kBom + "whole\r\n");
    PutFile(SafeWriteTemporaryPath(DataFilePath(L"templates2.txt")), sealed);
    PutFile(SafeWriteTemporaryPath(DataFilePath(L"templates3.txt")), sealed.substr(0, sealed.size() - 3));
    PutFile(SafeWriteTemporaryPath(DataFilePath(L"settings.ini")), kBom + "[Window]\r\nRect=1,2,3,4\r\n");
    PutFile(DataFilePath(L"notes.txt.tmp"), "not ours");
    EXPECT_EQ(SettleLeftoverWrites(),
              (std::vector<std::wstring>{L"settings.ini.recovered", L"templates3.txt.recovered"}));
    for (const wchar_t* name :
         {L"history.ini", L"templates.txt", L"templates2.txt", L"templates3.txt", L"settings.ini"})
        EXPECT_EQ(GetFileAttributesW(SafeWriteTemporaryPath(DataFilePath(name)).c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(FileBytes(DataFilePath(L"history.ini")), kBom + "kept\r\n");
    EXPECT_EQ(FileBytes(DataFilePath(L"templates.txt")), kBom + "whole\r\n");
    EXPECT_EQ(FileBytes(DataFilePath(L"templates2.txt")), sealed);
    EXPECT_EQ(FileBytes(DataFilePath(L"templates3.txt.recovered")), sealed.substr(0, sealed.size() - 3));
    EXPECT_EQ(GetFileAttributesW(DataFilePath(L"settings.ini").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(FileBytes(DataFilePath(L"notes.txt.tmp")), "not ours");
    // A later one never replaces an earlier recovered copy.
    PutFile(SafeWriteTemporaryPath(DataFilePath(L"settings.ini")), kBom + "[Win");
    EXPECT_EQ(SettleLeftoverWrites(), std::vector<std::wstring>{L"settings.ini.recovered2"});
    for (const wchar_t* name :
         {L"notes.txt.tmp", L"templates3.txt.recovered", L"settings.ini.recovered", L"settings.ini.recovered2"})
        DeleteFileW(DataFilePath(name).c_str());
}

TEST(LeftoverWrites, OnlyAWholeFileIsPutInPlaceAndOnlyBesideItsDataFileOrEmptyDoesOneGo) {
    using F = LeftoverFate;
    using K = DataFileKind;
    const std::string bom = kBom;
    const std::string sealed = ToUtf8(EncryptText(L"x", L"pw"));
    const std::string settings = AppLogic::SettingsFileContent(AppSettings{}, MakeDefaultTabs());
    const struct {
        K kind;
        bool targetExists;
        std::string bytes;
        LeftoverFate fate;
    } cases[] = {
        {K::Entries, true, bom + "whole\r\n", F::Remove}, // the data file holds the last whole write
        {K::Settings, true, settings, F::Remove},
        {K::Entries, false, "", F::Remove}, // holds nothing
        {K::Entries, false, bom, F::PutInPlace},
        {K::Entries, false, bom + "[C]a\r\n---\r\n\xE3\x82\xB3", F::PutInPlace},
        {K::Entries, false, bom + "[C]a\r\n---\r\n\xE3\x82", F::KeepAsRecovered}, // cut inside a character
        {K::Entries, false, "no mark", F::KeepAsRecovered},
        {K::Entries, false, sealed, F::PutInPlace},
        {K::Entries, false, sealed.substr(0, sealed.size() - 1), F::KeepAsRecovered}, // the tag cut
        {K::Entries, false, sealed.substr(0, sealed.find(':', 12)), F::KeepAsRecovered},
        {K::Entries, false, bom + sealed, F::PutInPlace}, // plain text that looks like a seal is text
        {K::Settings, false, settings, F::PutInPlace},
        {K::Settings, false, settings.substr(0, settings.find("TabType3=") + 10), F::KeepAsRecovered},
        {K::Settings, false, settings.substr(0, settings.find("[Tabs]")), F::KeepAsRecovered},
        {K::Settings, false, sealed, F::KeepAsRecovered}, // settings are never sealed
    };
    for (const auto& c : cases)
        EXPECT_EQ(FateOfLeftover(c.kind, c.targetExists, c.bytes), c.fate)
            << static_cast<int>(c.kind) << c.targetExists << testing::PrintToString(c.bytes);
}

TEST_F(DataFileTest, HistoryIsWrittenAsUtf8ItemTextAndReadBack) {
    const std::vector<HistoryItem> items = {MakeItem(L"コピー", L"", true), MakeItem(L"x\ny", L"L1", false, true)};
    AppLogic::SaveHistory(items, 100, false, L"");
    EXPECT_EQ(FileBytes(DataFilePath(L"history.ini")),
              kBom + "[C]\xE3\x82\xB3\xE3\x83\x94\xE3\x83\xBC\r\n---\r\n[LABEL]L1\r\n[L]x\r\ny\r\n");
    history.password = L"stale";
    EXPECT_EQ(LoadHistory(history, 100), items);
    EXPECT_FALSE(history.encrypted || history.tempUnlocked);
    EXPECT_TRUE(history.password.empty());
}

TEST_F(DataFileTest, MaxHistoryCutsTheSavedAndTheLoadedList) {
    std::vector<HistoryItem> items;
    for (int i = 0; i < 150; ++i)
        items.push_back(MakeItem(std::to_wstring(i), L"", false, i < 3));
    AppLogic::SaveHistory(items, 100, false, L"");
    EXPECT_EQ(LoadHistory(history, 0).size(), 100u); // locked entries count like any other
    AppLogic::SaveHistory(items, 0, false, L"");
    EXPECT_EQ(LoadHistory(history, 0).size(), 150u);
    EXPECT_EQ(LoadHistory(history, 40).size(), 40u);
}

TEST_F(DataFileTest, SealedHistoryHoldsOnlyTheEnvelope) {
    AppLogic::SaveHistory({MakeItem(L"secret text")}, 100, true, L"パスワード");
    const std::string bytes = FileBytes(DataFilePath(L"history.ini"));
    EXPECT_EQ(bytes.rfind("NMCENC_V2:", 0), 0u);
    EXPECT_EQ(bytes.find("secret"), std::string::npos);
    EXPECT_EQ(bytes.find_first_of("\r\n"), std::string::npos);

    EXPECT_TRUE(LoadHistory(history, 100).empty()); // no password held: stays sealed
    EXPECT_TRUE(history.encrypted);

    history.password = L"wrong";
    EXPECT_TRUE(LoadHistory(history, 100).empty());
    EXPECT_TRUE(history.encrypted);

    history.password = L"パスワード";
    EXPECT_EQ(LoadHistory(history, 100), (std::vector<HistoryItem>{MakeItem(L"secret text")}));
    EXPECT_TRUE(history.encrypted);
    EXPECT_FALSE(history.tempUnlocked);
    EXPECT_EQ(history.password, L"パスワード");
}

TEST_F(DataFileTest, SealedEmptyListStoresThePlaceholder) {
    AppLogic::SaveHistory({}, 100, true, L"pw");
    EXPECT_EQ(DecryptText(FromUtf8(FileBytes(DataFilePath(L"history.ini"))), L"pw"), L"__EMPTY_ENCRYPTED_TAB__\r\n");
    history.password = L"pw";
    EXPECT_EQ(LoadHistory(history, 100), (std::vector<HistoryItem>{MakeItem(kEmptyEncryptedTab)}));

    AppLogic::SaveTemplatesFromVector(L"templates.txt", {}, true, L"pw", TabType::Template);
    EXPECT_EQ(DecryptText(FromUtf8(FileBytes(DataFilePath(L"templates.txt"))), L"pw"), L"__EMPTY_ENCRYPTED_TAB__");

    // Once real entries exist the placeholder goes.
    AppLogic::SaveHistory({MakeItem(kEmptyEncryptedTab), MakeItem(L"real")}, 100, false, L"");
    EXPECT_EQ(LoadHistory(history, 100), (std::vector<HistoryItem>{MakeItem(L"real")}));
}

TEST_F(DataFileTest, MemoPadIsStoredRawAndReadWhole) {
    const std::wstring memo = L"line 1\r\n---\r\n[LABEL]x\r\n\r\n  ";
    AppLogic::SaveTemplatesFromVector(L"templates2.txt", {MakeItem(memo)}, false, L"", TabType::MemoPad);
    EXPECT_EQ(FileBytes(DataFilePath(L"templates2.txt")), kBom + "line 1\r\n---\r\n[LABEL]x\r\n\r\n  ");
    // Only trailing blanks and line ends are lost.
    EXPECT_EQ(LoadTemplate(L"templates2.txt", TabType::MemoPad),
              (std::vector<HistoryItem>{MakeItem(L"line 1\r\n---\r\n[LABEL]x")}));
    // The same file read as a list tab.
    EXPECT_EQ(LoadTemplate(L"templates2.txt", TabType::Template).size(), 2u);
}

TEST_F(DataFileTest, SingleTemplateEntryIsBareOnlyWhenThatIsLossless) {
    AppLogic::SaveTemplatesFromVector(L"templates.txt", {MakeItem(L"hello\r\nworld")}, false, L"", TabType::Template);
    EXPECT_EQ(FileBytes(DataFilePath(L"templates.txt")), kBom + "hello\r\nworld");

    const std::vector<std::vector<HistoryItem>> lossy = {
        {MakeItem(L"a\n---\nb")}, {MakeItem(L"[C]x")}, {MakeItem(L"plain", L"", true, true)}, {MakeItem(L"[LABEL]y")}};
    for (const auto& items : lossy) {
        AppLogic::SaveTemplatesFromVector(L"templates.txt", items, false, L"", TabType::MemoList);
        EXPECT_EQ(LoadTemplate(L"templates.txt", TabType::MemoList), items);
    }
}

// Found by the fuzzer: a single entry stored bare kept the line ends it had in memory, so the
// same entry read back (with LF) was written with other bytes, a file could have LF alone, and
// a CR before a CR LF ("x" CR CR LF "y", two line ends) came back as one line end.
TEST_F(DataFileTest, ASingleBareEntryIsWrittenWithCrLfLineEndsAndReadsBackAsTheItemFormatWould) {
    const struct {
        const wchar_t* text;
        std::string file;
        const wchar_t* back;
    } cases[] = {
        {L"one\ntwo", "one\r\ntwo", L"one\ntwo"},
        {L"one\r\ntwo", "one\r\ntwo", L"one\ntwo"},
        {L"one\rtwo", "one\r\ntwo", L"one\ntwo"},
        {L"x\r\r\ny", "x\r\n\r\ny", L"x\n\ny"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.text)));
        ASSERT_TRUE(
            AppLogic::SaveTemplatesFromVector(L"templates.txt", {MakeItem(c.text)}, false, L"", TabType::MemoList));
        EXPECT_EQ(FileBytes(DataFilePath(L"templates.txt")), kBom + c.file);
        const std::vector<HistoryItem> back = LoadTemplate(L"templates.txt", TabType::MemoList);
        EXPECT_EQ(back, (std::vector<HistoryItem>{MakeItem(c.back)}));
        ASSERT_TRUE(AppLogic::SaveTemplatesFromVector(L"templates.txt", back, false, L"", TabType::MemoList));
        EXPECT_EQ(FileBytes(DataFilePath(L"templates.txt")), kBom + c.file);
    }
}

TEST_F(DataFileTest, APlainTextThatBeginsLikeAnEnvelopeReloadsPlain) {
    const std::vector<HistoryItem> items = {MakeItem(L"NMCENC_V2:not a seal")};
    for (TabType type : {TabType::Template, TabType::MemoPad}) {
        SCOPED_TRACE(static_cast<int>(type));
        ASSERT_TRUE(AppLogic::SaveTemplatesFromVector(L"templates.txt", items, false, L"", type));
        TabSlot slot;
        EXPECT_EQ(LoadTemplate(L"templates.txt", type, slot), items);
        EXPECT_FALSE(slot.encrypted);
    }
    ASSERT_TRUE(AppLogic::SaveHistory(items, 100, false, L""));
    EXPECT_EQ(LoadHistory(history, 100), items);
    EXPECT_FALSE(history.encrypted);
    // Inside an envelope nothing is escaped: the sealed memo opens to its text as it was.
    ASSERT_TRUE(AppLogic::SaveTemplatesFromVector(L"templates3.txt", items, true, L"k", TabType::MemoPad));
    EXPECT_EQ(DecryptText(FromUtf8(FileBytes(DataFilePath(L"templates3.txt"))), L"k"), L"NMCENC_V2:not a seal");
}

TEST_F(DataFileTest, SealedTemplateLoadsLockedWhateverFollowsThePrefix) {
    for (const std::string& bytes : {std::string("NMCENC_V2:"), std::string("NMCENC_V2:garbage\r\n\r\n")}) {
        PutFile(DataFilePath(L"templates.txt"), bytes);
        TabSlot slot;
        slot.tempUnlocked = true;
        slot.password = L"held";
        EXPECT_TRUE(LoadTemplate(L"templates.txt", TabType::Template, slot).empty());
        EXPECT_TRUE(slot.encrypted);
        EXPECT_FALSE(slot.tempUnlocked);
        EXPECT_TRUE(slot.password.empty());
    }
    // A sealed template file is the bare envelope, and a memo pad's text is sealed raw.
    AppLogic::SaveTemplatesFromVector(L"templates3.txt", {MakeItem(L"memo\r\n---")}, true, L"k", TabType::MemoPad);
    EXPECT_EQ(DecryptText(FromUtf8(FileBytes(DataFilePath(L"templates3.txt"))), L"k"), L"memo\r\n---");
}

// A tab's file as a whole: what may be written over it and when.
struct SlotFileTest : DataFileTest {
    TabSlot slot = MakeDefaultTabs()[1];
    std::wstring path = DataFilePath(L"templates.txt");

    void SetUp() override {
        DataFileTest::SetUp();
        PutFile(path, kBom + "one\r\n---\r\ntwo\r\n");
        LoadSlot(slot, 100);
        slot.items.push_back(MakeItem(L"three"));
    }
    HANDLE HoldWithoutSharing() {
        return CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    }
};

// Another PC (through a sync service) or an editor changed the file: nobody is asked, nothing is lost.
TEST_F(SlotFileTest, AFileChangedElsewhereIsMergedWithWhatWaitsHereAndTakenInOtherwise) {
    // "three" waits here; the editor added "zero" at the top: the save merges and writes both.
    PutFile(path, kBom + "zero\r\n---\r\none\r\n---\r\ntwo\r\n");
    EXPECT_EQ(SaveSlotFile(slot, 100), SlotSave::Merged);
    EXPECT_FALSE(slot.dirty);
    const std::vector<HistoryItem> both = {MakeItem(L"zero"), MakeItem(L"one"), MakeItem(L"two"), MakeItem(L"three")};
    EXPECT_EQ(slot.items, both);
    EXPECT_EQ(LoadTemplate(L"templates.txt", TabType::Template), both);

    // Our own write is no change; nothing unsaved here: the file's entries are simply taken, the
    // entries both hold keeping their ids (the list keeps its selection on them).
    EXPECT_EQ(TakeInSlotFile(slot, 100).outcome, TakeIn::Unchanged);
    const EntryId two = slot.items[2].id;
    PutFile(path, kBom + "one\r\n---\r\ntwo\r\n---\r\nfour\r\n");
    const TakeIn in = TakeInSlotFile(slot, 100);
    EXPECT_EQ(in.outcome, TakeIn::TakenIn);
    EXPECT_FALSE(in.needsWrite);
    EXPECT_EQ(slot.items, (std::vector<HistoryItem>{MakeItem(L"one"), MakeItem(L"two"), MakeItem(L"four")}));
    EXPECT_EQ(slot.items[1].id, two);
    EXPECT_EQ(FileBytes(path), kBom + "one\r\n---\r\ntwo\r\n---\r\nfour\r\n");

    // A file that is gone holds nothing to lose: the entries stay and are written again.
    DeleteFileW(path.c_str());
    EXPECT_EQ(TakeInSlotFile(slot, 100).outcome, TakeIn::Unchanged);
    EXPECT_EQ(slot.items.size(), 3u);
    EXPECT_EQ(SaveSlotFile(slot, 100), SlotSave::Saved);
}

// The history's base after a plain write is the write itself, kept by its writer: a deletion made
// on another PC meanwhile is told from an entry new here.
TEST_F(SlotFileTest, TheHistoryMergesAgainstWhatItWroteLast) {
    TabSlot history = MakeDefaultTabs()[0];
    history.items = {MakeItem(L"c"), MakeItem(L"a"), MakeItem(L"b")};
    ASSERT_EQ(SaveSlotFile(history, 100), SlotSave::Saved);
    EXPECT_TRUE(history.base.empty() && history.baseIsLastWrite) << "no copy of the history at each save";
    PutFile(DataFilePath(L"history.ini"), kBom + "c\r\n---\r\na\r\n"); // b deleted on the other PC
    history.items.insert(history.items.begin(), MakeItem(L"e"));          // a copy here
    EXPECT_EQ(SaveSlotFile(history, 100), SlotSave::Merged);
    EXPECT_EQ(history.items, (std::vector<HistoryItem>{MakeItem(L"e"), MakeItem(L"c"), MakeItem(L"a")}));
    EXPECT_EQ(FileBytes(DataFilePath(L"history.ini")), kBom + "e\r\n---\r\nc\r\n---\r\na\r\n");
}

// Another PC sealed the tab with a password this run does not hold: the file is left as it is,
// what waited here goes sealed with this run's password into a file of its own, and the tab is
// sealed here too. A conflict copy sealed with that other password stays where it is.
TEST_F(SlotFileTest, AFileSealedElsewhereWithAnotherPasswordKeepsOursAside) {
    slot.tempUnlocked = true;
    slot.password = L"ours";
    AppLogic::SaveTemplatesFromVector(L"templates.txt", {MakeItem(L"theirs")}, true, L"other", TabType::Template);
    const std::string sealedElsewhere = FileBytes(path);
    const TakeIn in = TakeInSlotFile(slot, 100, true);
    EXPECT_EQ(in.outcome, TakeIn::Relocked);
    EXPECT_TRUE(slot.encrypted && !slot.tempUnlocked && slot.password.empty() && slot.items.empty() &&
                slot.base.empty()); // nothing of it left in memory
    EXPECT_EQ(FileBytes(path), sealedElsewhere);
    ASSERT_FALSE(in.keptAside.empty());
    EXPECT_EQ(DecryptText(FromUtf8(FileBytes(DataFilePath(in.keptAside))), L"ours"), L"one\r\n---\r\ntwo\r\n---\r\nthree\r\n");
    DeleteFileW(DataFilePath(in.keptAside).c_str());

    TabSlot opened = MakeDefaultTabs()[1];
    opened.tempUnlocked = true;
    opened.password = L"ours";
    opened.items = {MakeItem(L"kept")};
    PutFile(DataFilePath(L"templates.sync-conflict-20261209-101010-ABCDEF7.txt"), sealedElsewhere);
    bool changed = true;
    EXPECT_EQ(AbsorbConflictCopy(opened, L"templates.sync-conflict-20261209-101010-ABCDEF7.txt", 100, changed),
              Absorb::Left);
    EXPECT_FALSE(changed);
    // A plain copy gives every entry it holds.
    PutFile(DataFilePath(L"templates.sync-conflict-20261209-101010-ABCDEF7.txt"), kBom + "kept\r\n---\r\nfrom the copy\r\n");
    EXPECT_EQ(AbsorbConflictCopy(opened, L"templates.sync-conflict-20261209-101010-ABCDEF7.txt", 100, changed),
              Absorb::Done);
    EXPECT_TRUE(changed && opened.dirty);
    EXPECT_EQ(opened.items, (std::vector<HistoryItem>{MakeItem(L"kept"), MakeItem(L"from the copy")}));
    DeleteFileW(DataFilePath(L"templates.sync-conflict-20261209-101010-ABCDEF7.txt").c_str());
}

TEST_F(SlotFileTest, AFailedWriteKeepsTheChangesUntilTheNextTry) {
    HANDLE held = HoldWithoutSharing();
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(SaveSlotFile(slot, 100), SlotSave::Failed);
    EXPECT_TRUE(slot.dirty);
    CloseHandle(held);
    EXPECT_EQ(FileBytes(path), kBom + "one\r\n---\r\ntwo\r\n");
    EXPECT_EQ(SaveSlotFile(slot, 100), SlotSave::Saved);
    EXPECT_FALSE(slot.dirty);
    EXPECT_EQ(LoadTemplate(L"templates.txt", TabType::Template).size(), 3u);
}

TEST_F(SlotFileTest, NothingIsWrittenForAnUnreadableSealedOrOpenedWithoutPasswordTab) {
    HANDLE held = HoldWithoutSharing();
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    TabSlot unreadable = MakeDefaultTabs()[1];
    LoadSlot(unreadable, 100);
    CloseHandle(held);
    EXPECT_TRUE(unreadable.unreadable);
    EXPECT_TRUE(unreadable.items.empty());
    EXPECT_EQ(SaveSlotFile(unreadable, 100), SlotSave::Refused);

    TabSlot sealed = slot;
    sealed.encrypted = true;
    EXPECT_EQ(SaveSlotFile(sealed, 100), SlotSave::Refused);
    TabSlot opened = slot;
    opened.tempUnlocked = true; // its password already wiped
    EXPECT_EQ(SaveSlotFile(opened, 100), SlotSave::Refused);
    EXPECT_EQ(FileBytes(path), kBom + "one\r\n---\r\ntwo\r\n");

    // A missing file is no reason to hold back.
    DeleteFileW(path.c_str());
    TabSlot fresh = MakeDefaultTabs()[1];
    LoadSlot(fresh, 100);
    EXPECT_FALSE(fresh.unreadable);
    EXPECT_EQ(SaveSlotFile(fresh, 100), SlotSave::Saved);
}

TEST_F(SlotFileTest, SealingTheHistoryKeepsEveryEntryAndItsSavesSealAgain) {
    TabSlot history = MakeDefaultTabs()[0];
    for (int i = 0; i < 5; ++i)
        history.items.push_back(MakeItem(std::to_wstring(i)));
    const std::wstring password = L"pw";
    SlotSaveOptions seal;
    seal.sealWith = &password;
    EXPECT_EQ(SaveSlotFile(history, 3, seal), SlotSave::Saved); // no MaxHistory cut while sealing
    history.password = password;
    EXPECT_EQ(LoadHistory(history, 0).size(), 5u);
    history.encrypted = false;
    history.tempUnlocked = true;
    history.items.resize(1);
    EXPECT_EQ(SaveSlotFile(history, 3), SlotSave::Saved);
    EXPECT_EQ(FileBytes(DataFilePath(L"history.ini")).rfind("NMCENC_V2:", 0), 0u);
}

} // namespace
