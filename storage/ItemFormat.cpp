#include "storage/ItemFormat.h"

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
    return core.empty() && at.moreLines; // a leading empty line is dropped
}

bool OtherLineMisread(std::wstring_view core) {
    return core == kSeparator;
}

// Visits the lines of a text; CR LF, lone LF and lone CR each end a line.
template <typename Visit> void ForEachLine(std::wstring_view text, Visit visit) {
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (c != L'\r' && c != L'\n')
            continue;
        visit(text.substr(start, i - start));
        if (c == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n')
            ++i;
        start = i + 1;
    }
    visit(text.substr(start));
}

bool IsLineBreak(wchar_t c) {
    return c == L'\r' || c == L'\n';
}

void AppendLabelLine(std::wstring& out, const std::wstring& label) {
    out += kLabelTag;
    // The reader drops one space after the tag, so a label that starts with one gets another.
    if (label.front() == L' ')
        out += L' ';
    // A label is a single line; a line break in it would break the block apart.
    for (wchar_t c : label)
        out += IsLineBreak(c) ? L' ' : c;
    out += L"\r\n";
}

void AppendText(std::wstring& out, const HistoryItem& item) {
    size_t lineCount = 1;
    for (size_t i = 0; i < item.text.size(); ++i) {
        if (item.text[i] == L'\n' || (item.text[i] == L'\r' && (i + 1 == item.text.size() || item.text[i + 1] != L'\n')))
            ++lineCount;
    }
    const FirstLineContext first{item.locked || item.used, !item.label.empty(), lineCount > 1};
    bool isFirst = true;
    ForEachLine(item.text, [&](std::wstring_view line) {
        const bool misread = isFirst ? FirstLineMisread(Core(line), first) : OtherLineMisread(Core(line));
        if (misread)
            out += kEscape;
        out += line;
        out += L"\r\n";
        isFirst = false;
    });
}

// The reader trims blanks and control characters from the end of a file; a last block
// that ends in one is closed with a "---" line so that nothing of it is lost.
bool TrailingTrimWouldCut(const HistoryItem& item) {
    if (!item.text.empty())
        return item.text.back() < 33;
    return !item.locked && !item.used && !item.label.empty() && item.label.back() < 33;
}

} // namespace

std::wstring ItemsToText(const std::vector<HistoryItem>& items) {
    size_t capacity = 0;
    for (const HistoryItem& item : items)
        capacity += item.text.size() + item.label.size() + 32;
    std::wstring out;
    out.reserve(capacity);

    for (size_t i = 0; i < items.size(); ++i) {
        const HistoryItem& item = items[i];
        const bool last = i + 1 == items.size();
        if (item.text.empty() && item.label.empty())
            continue;
        if (!item.label.empty())
            AppendLabelLine(out, item.label);
        if (item.locked)
            out += kLockedMarker;
        if (item.used)
            out += kUsedMarker;
        AppendText(out, item);
        if (!last || TrailingTrimWouldCut(item)) {
            out += kSeparator;
            out += L"\r\n";
        }
    }
    return out;
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
            AppendUnescaped(item.text, first, !first.empty() && first.front() == kEscape &&
                                                  FirstLineMisread(Core(first), at));
            for (size_t j = k + 1; j < lines_.size(); ++j) {
                item.text += L'\n';
                const std::wstring_view line = lines_[j];
                AppendUnescaped(item.text, line, !line.empty() && line.front() == kEscape && OtherLineMisread(Core(line)));
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
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L'\n', start);
        const size_t next = end == std::wstring_view::npos ? text.size() : end + 1;
        if (end == std::wstring_view::npos)
            end = text.size();
        std::wstring_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == L'\r')
            line.remove_suffix(1);
        reader.Line(line);
        start = next;
    }
    reader.Finish();
    return items;
}

std::wstring CrLfToLf(std::wstring_view text) {
    std::wstring out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n')
            continue;
        out += text[i];
    }
    return out;
}

bool StoresAsBareText(const HistoryItem& item) {
    if (item.used || item.locked || !item.label.empty())
        return false;
    std::wstring_view stored = item.text;
    while (!stored.empty() && stored.back() < 33)
        stored.remove_suffix(1); // what the reader's trailing trim leaves
    const std::vector<HistoryItem> back = TextToItems(stored);
    return back.size() == 1 && back[0].text == CrLfToLf(item.text) && back[0].label.empty() && !back[0].used &&
           !back[0].locked;
}
