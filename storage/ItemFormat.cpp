#include "storage/ItemFormat.h"

#include "core/Text.h"
#include "core/TextPrint.h"
#include "crypto/Envelope.h"
#include "storage/TextFile.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <unordered_map>

namespace {

constexpr std::wstring_view kSeparator = L"---";
constexpr std::wstring_view kLabelTag = L"[LABEL]";
constexpr std::wstring_view kLockedMarker = L"[L]";
constexpr std::wstring_view kUsedMarker = L"[C]";
constexpr wchar_t kEscape = L'\\';

bool StartsWith(std::wstring_view s, std::wstring_view prefix) {
    return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}

// The line without its leading backslashes.
std::wstring_view Core(std::wstring_view line) {
    const size_t n = line.find_first_not_of(kEscape);
    return n == std::wstring_view::npos ? std::wstring_view() : line.substr(n);
}

// Where a text line stands decides which of its forms a reader would misread.
struct FirstLineContext {
    bool afterMarkers; // "[L]"/"[C]" precede it on the same line
    bool afterLabel;   // a "[LABEL]" line opened the block
    bool moreLines;    // further text lines follow in the block
};

bool FirstLineMisread(std::wstring_view core, const FirstLineContext& at) {
    if (StartsWith(core, kLockedMarker) || StartsWith(core, kUsedMarker))
        return true; // would turn into flags
    if (at.afterMarkers)
        return false;
    if (core == kSeparator)
        return true; // would end the block
    if (!at.afterLabel && StartsWith(core, kLabelTag))
        return true; // would turn into a label
    if (!at.afterLabel && StartsWith(core, kEnvelopeMagic))
        return true;                     // at the start of a file it would make the file look sealed
    return core.empty() && at.moreLines; // a leading empty line is dropped
}

bool OtherLineMisread(std::wstring_view core) {
    return core == kSeparator;
}

bool IsLineBreak(wchar_t c) {
    return c == L'\r' || c == L'\n';
}

// The writer appends to a UTF-16 text or straight to UTF-8 bytes: the history file is
// written on every capture, and skipping the intermediate text halves the cost.
struct WideSink {
    std::wstring out;
    void Put(std::wstring_view s) { out.append(s); }
};

struct Utf8Sink {
    Utf8Buffer& out;
    void Put(std::wstring_view s) { out.Append(s); }
};

template <typename Sink> void PutLabelLine(Sink& sink, const std::wstring& label) {
    sink.Put(kLabelTag);
    // A label is a single line; a line break in it would break the block apart.
    std::wstring single;
    std::wstring_view line = label;
    if (label.find_first_of(L"\r\n") != std::wstring::npos) {
        single = label;
        for (wchar_t& c : single)
            c = IsLineBreak(c) ? L' ' : c;
        line = single;
    }
    // The reader drops one space after the tag, so a label that starts with one (a line break
    // turned into one too) gets another.
    if (line.front() == L' ')
        sink.Put(L" ");
    sink.Put(line);
    sink.Put(L"\r\n");
}

// Where the next line begins after the line break at `at` (CR LF, a lone LF or a lone CR).
size_t AfterLineBreak(std::wstring_view text, size_t at) {
    return at + (text[at] == L'\r' && at + 1 < text.size() && text[at + 1] == L'\n' ? 2 : 1);
}

// Whether the line of `text` starting at `start` needs the escape in front. Only a line that is
// empty or starts with a backslash, "[", "-" or "N" can be misread; the others are passed at once.
bool LineNeedsEscape(std::wstring_view text, size_t start, bool firstLine, const HistoryItem& item) {
    if (start < text.size()) {
        const wchar_t c = text[start];
        if (c != kEscape && c != L'[' && c != L'-' && c != L'N' && c != L'\r' && c != L'\n')
            return false;
    }
    size_t end = start;
    while (end < text.size() && !IsLineBreak(text[end]))
        ++end;
    const std::wstring_view core = Core(text.substr(start, end - start));
    if (!firstLine)
        return OtherLineMisread(core);
    return FirstLineMisread(core, FirstLineContext{item.locked || item.used, !item.label.empty(), end < text.size()});
}

// CR LF, a lone LF and a lone CR each end a line; every line is written with CR LF, and a
// text that ends in a line break ends with an empty line.
template <typename Sink> void PutText(Sink& sink, const HistoryItem& item) {
    const std::wstring_view text = item.text;
    size_t start = 0;
    for (bool firstLine = true;; firstLine = false) {
        size_t end = start;
        while (end < text.size() && !IsLineBreak(text[end]))
            ++end;
        if (LineNeedsEscape(text, start, firstLine, item))
            sink.Put(L"\\");
        sink.Put(text.substr(start, end - start));
        sink.Put(L"\r\n");
        if (end >= text.size())
            return;
        start = AfterLineBreak(text, end);
    }
}

// The same straight into UTF-8, in one pass over the text: the history is written on every
// capture, and this is where its time goes.
void PutText(Utf8Sink& sink, const HistoryItem& item) {
    const std::wstring_view text = item.text;
    // Every unit takes at most 3 bytes, a line break 2 (for 1 or 2 units), an escape 1 a line.
    char* p = sink.out.Reserve(4 * text.size() + 3);
    size_t i = 0;
    for (bool firstLine = true;; firstLine = false) {
        if (LineNeedsEscape(text, i, firstLine, item))
            *p++ = '\\';
        p = EncodeUtf8Line(text, i, p);
        *p++ = '\r';
        *p++ = '\n';
        if (i >= text.size())
            break;
        i = AfterLineBreak(text, i);
    }
    sink.out.Commit(p);
}

// The reader trims blanks and control characters from the end of a file; a last block
// that ends in one is closed with a "---" line so that nothing of it is lost.
bool TrailingTrimWouldCut(const HistoryItem& item) {
    if (!item.text.empty())
        return item.text.back() < 33;
    return !item.locked && !item.used && !item.label.empty() && item.label.back() < 33;
}

// One entry's block, without the separator that may follow it.
template <typename Sink> void PutBlock(Sink& sink, const HistoryItem& item) {
    if (!item.label.empty())
        PutLabelLine(sink, item.label);
    if (item.locked)
        sink.Put(kLockedMarker);
    if (item.used)
        sink.Put(kUsedMarker);
    PutText(sink, item);
}

template <typename Sink> void PutItems(Sink& sink, const ItemRefs& items) {
    for (size_t i = 0; i < items.size(); ++i) {
        const HistoryItem& item = *items[i];
        const bool last = i + 1 == items.size();
        if (item.text.empty() && item.label.empty())
            continue;
        PutBlock(sink, item);
        if (!last || TrailingTrimWouldCut(item))
            sink.Put(L"---\r\n");
    }
}

size_t CapacityFor(const ItemRefs& items) {
    size_t capacity = 0;
    for (const HistoryItem* item : items)
        capacity += item->text.size() + item->label.size() + 32;
    return capacity;
}

} // namespace

ItemRefs RefsTo(const std::vector<HistoryItem>& items) {
    ItemRefs refs;
    refs.reserve(items.size());
    for (const HistoryItem& item : items)
        refs.push_back(&item);
    return refs;
}

namespace {

// What an entry held at the last write, and where its bytes are: its block followed by a separator
// line, whether or not the file had one after it there.
struct WrittenEntry {
    EntryId id = kNoEntry;
    TextPrint print;
    size_t textSize = 0;
    std::wstring label;
    bool locked = false;
    bool used = false;
    const char* bytes = nullptr;
    size_t length = 0; // of the block, without the separator
};

bool Unchanged(const WrittenEntry& written, const HistoryItem& item, const TextPrint& print) {
    return written.id == item.id && written.textSize == item.text.size() && written.locked == item.locked &&
           written.used == item.used && written.print == print && written.label == item.label;
}

constexpr std::string_view kSeparatorLine = "---\r\n";

// The entries of the last write in their order, found by id. Most often an entry stands one
// after the one found before (a capture adds one entry on top): that is tried first, and the
// index by id is made only when it misses.
class LastWrite {
public:
    explicit LastWrite(const std::vector<WrittenEntry>& entries) : entries_(entries) {
        for (const WrittenEntry& entry : entries_)
            newest_ = std::max(newest_, entry.id);
    }
    const WrittenEntry* Find(EntryId id) {
        if (next_ < entries_.size() && entries_[next_].id == id)
            return &entries_[next_++];
        // Ids only grow: an entry made since (a capture) was not there. A miss only means encoding
        // the entry anew.
        if (id > newest_)
            return nullptr;
        if (!indexed_) {
            for (size_t i = 0; i < entries_.size(); ++i)
                index_.emplace(entries_[i].id, i); // entries sharing an id: the first is found
            indexed_ = true;
        }
        const auto found = index_.find(id);
        if (found == index_.end())
            return nullptr;
        next_ = found->second + 1;
        return &entries_[found->second];
    }

private:
    const std::vector<WrittenEntry>& entries_;
    EntryId newest_ = kNoEntry;
    size_t next_ = 0;
    bool indexed_ = false;
    std::unordered_map<EntryId, size_t> index_;
};

// Blocks are written into chunks that never move, so that later writes can point at them.
struct Chunk {
    std::unique_ptr<char[]> bytes;
    size_t size = 0;
    size_t used = 0;
};

constexpr size_t kChunkSize = 1 << 20;

} // namespace

struct ReusingItemWriter::State {
    std::vector<Chunk> chunks;
    std::vector<WrittenEntry> written; // the last write's entries (while writing: the new ones)
    std::vector<WrittenEntry> before;  // while writing: the last write's
    std::vector<std::string_view> pieces;
    size_t fileBytes = 0; // of the last write
    Utf8Buffer scratch;

    // Room for `bound` bytes that stay where they are.
    char* Room(size_t bound) {
        if (chunks.empty() || chunks.back().size - chunks.back().used < bound) {
            Chunk chunk;
            chunk.size = std::max(kChunkSize, bound);
            chunk.bytes.reset(new char[chunk.size]);
            chunks.push_back(std::move(chunk));
        }
        return chunks.back().bytes.get() + chunks.back().used;
    }

    // Encodes the block and a separator line after it into a chunk.
    const char* Store(const HistoryItem& item, size_t& length) {
        scratch.Clear();
        Utf8Sink sink{scratch};
        PutBlock(sink, item);
        length = scratch.length;
        char* at = Room(length + kSeparatorLine.size());
        std::memcpy(at, scratch.bytes.data(), length);
        std::memcpy(at + length, kSeparatorLine.data(), kSeparatorLine.size());
        chunks.back().used += length + kSeparatorLine.size();
        return at;
    }

    void Add(const char* bytes, size_t length) {
        if (!pieces.empty() && pieces.back().data() + pieces.back().size() == bytes)
            pieces.back() = std::string_view(pieces.back().data(), pieces.back().size() + length);
        else
            pieces.emplace_back(bytes, length);
    }

    // Once the chunks hold much more than the file (the blocks of entries gone or changed), the
    // file's blocks are copied together and the rest is given back.
    void Compact() {
        size_t held = 0;
        for (const Chunk& chunk : chunks)
            held += chunk.used;
        if (held <= 2 * fileBytes + kChunkSize)
            return;
        std::vector<Chunk> old = std::move(chunks);
        chunks.clear();
        for (WrittenEntry& entry : written) {
            char* at = Room(entry.length + kSeparatorLine.size());
            std::memcpy(at, entry.bytes, entry.length + kSeparatorLine.size());
            chunks.back().used += entry.length + kSeparatorLine.size();
            entry.bytes = at;
        }
    }
};

ReusingItemWriter::ReusingItemWriter() : state_(std::make_unique<State>()) {}

ReusingItemWriter::~ReusingItemWriter() = default;

const std::vector<std::string_view>& ReusingItemWriter::LastPieces() const {
    return state_->pieces;
}

const std::vector<std::string_view>& ReusingItemWriter::Write(const ItemRefs& items) {
    State& s = *state_;
    s.Compact(); // the last write's pieces are given up now
    // The two lists take turns, keeping their memory: fresh memory costs a page fault per page
    // each time, dearly so under Wine.
    std::swap(s.written, s.before);
    LastWrite known(s.before);
    s.written.clear();
    s.written.reserve(items.size());
    s.pieces.clear();
    size_t fileBytes = 0;
    for (size_t i = 0; i < items.size(); ++i) {
        const HistoryItem& item = *items[i];
        if (item.text.empty() && item.label.empty())
            continue;
        WrittenEntry entry{item.id, Fingerprint(item.text), item.text.size(), item.label, item.locked, item.used};
        const WrittenEntry* found = known.Find(item.id);
        if (found && Unchanged(*found, item, entry.print)) {
            entry.bytes = found->bytes;
            entry.length = found->length;
        } else {
            entry.bytes = s.Store(item, entry.length);
        }
        const bool separated = i + 1 < items.size() || TrailingTrimWouldCut(item);
        const size_t length = entry.length + (separated ? kSeparatorLine.size() : 0);
        s.Add(entry.bytes, length);
        fileBytes += length;
        s.written.push_back(std::move(entry));
    }
    s.fileBytes = fileBytes;
    return s.pieces;
}

std::wstring ItemsToText(const ItemRefs& items) {
    WideSink sink;
    sink.out.reserve(CapacityFor(items));
    PutItems(sink, items);
    return std::move(sink.out);
}

std::wstring ItemsToText(const std::vector<HistoryItem>& items) {
    return ItemsToText(RefsTo(items));
}

void ItemsToUtf8(const ItemRefs& items, Utf8Buffer& out) {
    out.Clear();
    Utf8Sink sink{out};
    PutItems(sink, items);
}

namespace {

class ItemReader {
public:
    explicit ItemReader(std::vector<HistoryItem>& out) : out_(out) {}

    void Line(std::wstring_view line) {
        if (line == kSeparator) {
            Finish();
            return;
        }
        if (lines_.empty() && !labelLine_ && StartsWith(line, kLabelTag)) {
            std::wstring_view rest = line.substr(kLabelTag.size());
            if (!rest.empty() && rest.front() == L' ')
                rest.remove_prefix(1);
            label_.assign(rest);
            labelLine_ = true;
            return;
        }
        lines_.push_back(line);
    }

    void Finish() {
        HistoryItem item;
        item.label = std::move(label_);
        size_t k = 0;
        while (k < lines_.size() && lines_[k].empty())
            ++k; // leading empty lines were never part of a text
        if (k < lines_.size()) {
            std::wstring_view first = lines_[k];
            bool markers = false;
            for (;;) {
                if (StartsWith(first, kLockedMarker))
                    item.locked = true;
                else if (StartsWith(first, kUsedMarker))
                    item.used = true;
                else
                    break;
                first.remove_prefix(3);
                markers = true;
            }
            const FirstLineContext at{markers, labelLine_, k + 1 < lines_.size()};
            AppendUnescaped(item.text, first,
                            !first.empty() && first.front() == kEscape && FirstLineMisread(Core(first), at));
            for (size_t j = k + 1; j < lines_.size(); ++j) {
                item.text += L'\n';
                const std::wstring_view line = lines_[j];
                AppendUnescaped(item.text, line,
                                !line.empty() && line.front() == kEscape && OtherLineMisread(Core(line)));
            }
        }
        if (!item.text.empty() || !item.label.empty())
            out_.push_back(std::move(item));
        lines_.clear();
        label_.clear();
        labelLine_ = false;
    }

private:
    static void AppendUnescaped(std::wstring& text, std::wstring_view line, bool escaped) {
        text.append(escaped ? line.substr(1) : line);
    }

    std::vector<HistoryItem>& out_;
    std::vector<std::wstring_view> lines_;
    std::wstring label_;
    bool labelLine_ = false;
};

} // namespace

std::vector<HistoryItem> TextToItems(std::wstring_view text) {
    std::vector<HistoryItem> items;
    ItemReader reader(items);
    // Lines end at LF, each losing one CR before it; the piece after a final LF is no line.
    ForEachLine(text, LineBreaks::Lf, false, [&](std::wstring_view line) { reader.Line(line); });
    reader.Finish();
    return items;
}

bool StoresAsBareText(const HistoryItem& item) {
    if (item.used || item.locked || !item.label.empty() || IsEnvelope(item.text))
        return false;
    const std::wstring bare = BareEntryText(item.text);
    std::wstring_view stored = bare;
    while (!stored.empty() && stored.back() < 33)
        stored.remove_suffix(1); // what the reader's trailing trim leaves
    const std::vector<HistoryItem> back = TextToItems(stored);
    return back.size() == 1 && back[0].text == ToLf(item.text, LoneCr::Break) && back[0].label.empty() &&
           !back[0].used && !back[0].locked;
}

std::wstring BareEntryText(std::wstring_view text) {
    return ToCrLf(text, LoneCr::Break);
}

std::wstring EscapeBareText(std::wstring_view text) {
    std::wstring stored;
    if (StartsWith(Core(text), kEnvelopeMagic))
        stored += kEscape;
    stored.append(text);
    return stored;
}

std::wstring UnescapeBareText(std::wstring text) {
    if (!text.empty() && text.front() == kEscape && StartsWith(Core(text), kEnvelopeMagic))
        text.erase(0, 1);
    return text;
}
