#include "storage/ItemFormat.h"

#include "core/Text.h"
#include "crypto/Envelope.h"
#include "storage/TextFile.h"

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

template <typename Sink> void PutText(Sink& sink, const HistoryItem& item) {
    // CR LF, a lone LF and a lone CR each end a line; every line is written with CR LF.
    const bool moreLines = item.text.find_first_of(L"\r\n") != std::wstring::npos;
    const FirstLineContext first{item.locked || item.used, !item.label.empty(), moreLines};
    bool firstLine = true;
    ForEachLine(item.text, LineBreaks::Any, true, [&](std::wstring_view line) {
        if (firstLine ? FirstLineMisread(Core(line), first) : OtherLineMisread(Core(line)))
            sink.Put(L"\\");
        sink.Put(line);
        sink.Put(L"\r\n");
        firstLine = false;
    });
}

// The reader trims blanks and control characters from the end of a file; a last block
// that ends in one is closed with a "---" line so that nothing of it is lost.
bool TrailingTrimWouldCut(const HistoryItem& item) {
    if (!item.text.empty())
        return item.text.back() < 33;
    return !item.locked && !item.used && !item.label.empty() && item.label.back() < 33;
}

template <typename Sink> void PutItems(Sink& sink, const ItemRefs& items) {
    for (size_t i = 0; i < items.size(); ++i) {
        const HistoryItem& item = *items[i];
        const bool last = i + 1 == items.size();
        if (item.text.empty() && item.label.empty())
            continue;
        if (!item.label.empty())
            PutLabelLine(sink, item.label);
        if (item.locked)
            sink.Put(kLockedMarker);
        if (item.used)
            sink.Put(kUsedMarker);
        PutText(sink, item);
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
