#include "Manifest.h"

namespace {

std::string Escape(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '%':
            out += "%25";
            break;
        case '\t':
            out += "%09";
            break;
        case '\r':
            out += "%0D";
            break;
        case '\n':
            out += "%0A";
            break;
        default:
            out += c;
        }
    }
    return out;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::string Unescape(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const int high = HexDigit(text[i + 1]), low = HexDigit(text[i + 2]);
            if (high >= 0 && low >= 0) {
                out += static_cast<char>(high * 16 + low);
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

} // namespace

std::string BackupRecord::Get(std::string_view name) const
{
    for (const auto& field : Fields) {
        if (field.first == name)
            return field.second;
    }
    return {};
}

bool BackupRecord::Has(std::string_view name) const
{
    for (const auto& field : Fields) {
        if (field.first == name)
            return true;
    }
    return false;
}

std::string WriteRecord(const BackupRecord& record)
{
    std::string line = Escape(record.Kind);
    for (const auto& [name, value] : record.Fields)
        line += '\t' + Escape(name) + '=' + Escape(value);
    return line;
}

bool ReadRecord(std::string_view line, BackupRecord& record)
{
    record = {};
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.remove_suffix(1);
    if (line.empty() || line.front() == '#')
        return false;
    std::size_t tab = line.find('\t');
    record.Kind = Unescape(line.substr(0, tab));
    while (tab != std::string_view::npos) {
        const std::size_t start = tab + 1;
        tab = line.find('\t', start);
        const std::string_view field = line.substr(start, tab == std::string_view::npos ? tab : tab - start);
        const std::size_t equals = field.find('=');
        if (equals == std::string_view::npos)
            continue;
        record.Set(Unescape(field.substr(0, equals)), Unescape(field.substr(equals + 1)));
    }
    return !record.Kind.empty();
}

std::vector<BackupRecord> ReadManifest(std::string_view text)
{
    std::vector<BackupRecord> records;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        BackupRecord record;
        if (ReadRecord(text.substr(0, end), record))
            records.push_back(std::move(record));
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
    return records;
}

std::string ToHex(const void* data, std::size_t size)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    const auto* bytes = static_cast<const unsigned char*>(data);
    std::string hex;
    hex.reserve(size * 2);
    for (std::size_t i = 0; i < size; ++i) {
        hex += kDigits[bytes[i] >> 4];
        hex += kDigits[bytes[i] & 15];
    }
    return hex;
}

bool FromHex(std::string_view hex, std::vector<unsigned char>& bytes)
{
    bytes.clear();
    if (hex.size() % 2 != 0)
        return false;
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int high = HexDigit(hex[i]), low = HexDigit(hex[i + 1]);
        if (high < 0 || low < 0)
            return false;
        bytes.push_back(static_cast<unsigned char>(high * 16 + low));
    }
    return true;
}
