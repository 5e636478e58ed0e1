#include "fuzz/FuzzCase.h"

#include <cstring>

namespace {

const char* const kNames[] = {"items", "settings", "envelope", "filter", "clipboard"};

} // namespace

const char* TargetName(FuzzTarget target) {
    return kNames[static_cast<size_t>(target)];
}

bool TargetFromName(std::string_view name, FuzzTarget& target) {
    for (FuzzTarget candidate : kFuzzTargets) {
        if (name == TargetName(candidate)) {
            target = candidate;
            return true;
        }
    }
    return false;
}

const std::string& FuzzCase::Part(size_t index) const {
    static const std::string none;
    return index < parts.size() ? parts[index] : none;
}

ItemsOptions ItemsOptionsOf(std::string_view part) {
    ItemsOptions options;
    const unsigned flags = part.empty() ? 0u : static_cast<unsigned char>(part[0]);
    options.kind = static_cast<ItemFileKind>(flags & 3u);
    options.throughFiles = (flags & 4u) != 0;
    options.maxHistory = Int32At(part, 1);
    return options;
}

std::string ItemsOptionsPart(const ItemsOptions& options) {
    const unsigned flags = static_cast<unsigned>(options.kind) | (options.throughFiles ? 4u : 0u);
    return std::string(1, static_cast<char>(flags)) + Int32Bytes(options.maxHistory);
}

std::string SerializeParts(const std::vector<std::string>& parts) {
    std::string bytes;
    for (const std::string& part : parts) {
        bytes += Int32Bytes(static_cast<int32_t>(part.size()));
        bytes += part;
    }
    return bytes;
}

std::vector<std::string> ParseParts(std::string_view bytes) {
    std::vector<std::string> parts;
    size_t at = 0;
    while (at + 4 <= bytes.size()) {
        const size_t length = static_cast<uint32_t>(Int32At(bytes, at));
        at += 4;
        const size_t taken = length < bytes.size() - at ? length : bytes.size() - at;
        parts.emplace_back(bytes.substr(at, taken));
        at += taken;
    }
    return parts;
}

std::wstring WideFromBytes(std::string_view bytes) {
    std::wstring text(bytes.size() / 2, L'\0');
    if (!text.empty())
        std::memcpy(&text[0], bytes.data(), text.size() * sizeof(wchar_t));
    return text;
}

std::string BytesFromWide(std::wstring_view text) {
    std::string bytes(text.size() * sizeof(wchar_t), '\0');
    if (!bytes.empty())
        std::memcpy(&bytes[0], text.data(), bytes.size());
    return bytes;
}

int32_t Int32At(std::string_view bytes, size_t offset) {
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i) {
        const size_t at = offset + i;
        const uint32_t byte = at < bytes.size() ? static_cast<unsigned char>(bytes[at]) : 0u;
        value |= byte << (8 * i);
    }
    int32_t result;
    std::memcpy(&result, &value, sizeof(result));
    return result;
}

std::string Int32Bytes(int32_t value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof(bits));
    std::string bytes(4, '\0');
    for (size_t i = 0; i < 4; ++i)
        bytes[i] = static_cast<char>((bits >> (8 * i)) & 0xFF);
    return bytes;
}

std::string Escaped(std::string_view bytes, size_t limit) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (size_t i = 0; i < bytes.size() && i < limit; ++i) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c == '\\') {
            out += "\\\\";
        } else if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 0xF];
        }
    }
    if (bytes.size() > limit)
        out += "... (" + std::to_string(bytes.size()) + " bytes)";
    return out;
}
