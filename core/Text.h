// Lines and line ends: the one splitter every reader and writer of text uses, and the one
// converter of line ends.
#pragma once

#include <string>
#include <string_view>

// Where a line ends.
enum class LineBreaks {
    Lf,  // at LF; one CR right before it belongs to the break (CR LF), any other CR is text
    Any, // at CR LF, at a lone LF and at a lone CR
};

// Calls line(text) for each line of `text`, without its break. The piece after the last break
// is a line too; when it is empty it counts only with `emptyLastLine` (so an empty text has
// one empty line then, and none without). Allocates nothing.
template <typename LineFunction>
void ForEachLine(std::wstring_view text, LineBreaks breaks, bool emptyLastLine, LineFunction&& line) {
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (c == L'\n') {
            const size_t end = (i > start && text[i - 1] == L'\r') ? i - 1 : i;
            line(text.substr(start, end - start));
            start = i + 1;
        } else if (c == L'\r' && breaks == LineBreaks::Any && (i + 1 >= text.size() || text[i + 1] != L'\n')) {
            line(text.substr(start, i - start));
            start = i + 1;
        }
    }
    if (start < text.size() || emptyLastLine)
        line(text.substr(start));
}

// What becomes of a lone carriage return (one without a line feed after it).
enum class LoneCr {
    Break, // a line end like any other
    Keep,  // text, left as it is
    Drop,  // removed
};

// The text with every line end as CR LF: CR LF stays, a lone LF becomes CR LF, a lone CR goes
// as `loneCr` says.
std::wstring ToCrLf(std::wstring_view text, LoneCr loneCr);

// The text without the blanks (spaces, tabs, line ends) around it.
std::wstring_view TrimBlanks(std::wstring_view text);

// A count as settings.ini gives one: digits only, blanks around them allowed, held to `most`.
// Anything else (a sign, letters, nothing) gives `fallback`, so that a typo never reads as 0.
int ParseCount(std::wstring_view value, int fallback, int most);

// The text with every line end as LF: CR LF becomes LF, a lone LF stays, a lone CR goes as
// `loneCr` says.
std::wstring ToLf(std::wstring_view text, LoneCr loneCr);
