#include "PawletKit/ApprovalSummary.hpp"

#include "PawletKit/RegularFile.hpp"
#include "PawletKit/Text.hpp"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace PawletKit::ApprovalSummary {

namespace {

// Each side of a comparison is cut to this many lines, which bounds the table to 601 x 601 entries.
constexpr size_t maxComparedLines = 600;
constexpr size_t contextLines = 3;
// Changes separated by at most this many unchanged lines share a hunk.
constexpr size_t maxGapInHunk = 6;

struct Op {
    enum Kind : uint8_t {
        equal,
        remove,
        insert,
    };
    Kind kind;
    std::string_view text;
};

struct Lines {
    std::string text;
    int64_t leftOut { 0 };
};

std::string stringField(JSON::Value const& input, std::string_view key)
{
    return JSON::toString(JSON::member(&input, key)).value_or(std::string());
}

std::optional<std::string> optionalField(JSON::Value const& input, std::string_view key)
{
    return JSON::toString(JSON::member(&input, key));
}

std::string joined(std::vector<std::string> const& lines)
{
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0)
            text += '\n';
        text += lines[i];
    }
    return text;
}

// Trailing slashes do not count; a path of slashes only is "/"; an empty path shows as "file".
std::string displayName(std::string_view path)
{
    size_t end = path.size();
    while (end > 0 && path[end - 1] == '/')
        --end;
    if (end == 0)
        return path.empty() ? std::string("file") : std::string("/");
    size_t slash = path.rfind('/', end - 1);
    size_t begin = slash == std::string_view::npos ? 0 : slash + 1;
    return std::string(path.substr(begin, end - begin));
}

// Split at every line feed; a carriage return stays part of its line; one final empty piece is dropped.
std::vector<std::string_view> splitLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    if (text.empty())
        return lines;
    size_t start = 0;
    while (true) {
        size_t feed = text.find('\n', start);
        if (feed == std::string_view::npos) {
            if (start < text.size())
                lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, feed - start));
        start = feed + 1;
    }
    return lines;
}

// Lines that differ only in how their characters are composed compare equal. ASCII text is already
// composed, which spares most lines the normalisation.
std::string canonical(std::string_view line)
{
    bool const ascii = std::all_of(line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    return ascii ? std::string(line) : Text::nfc(line);
}

// Longest common subsequence over lines, compared under canonical equivalence; removals come before
// insertions wherever both are possible.
std::vector<Op> diffLines(std::vector<std::string_view> a, std::vector<std::string_view> b)
{
    if (a.size() > maxComparedLines)
        a.resize(maxComparedLines);
    if (b.size() > maxComparedLines)
        b.resize(maxComparedLines);
    std::vector<Op> ops;
    if (a.empty()) {
        for (auto line : b)
            ops.push_back({ Op::insert, line });
        return ops;
    }
    if (b.empty()) {
        for (auto line : a)
            ops.push_back({ Op::remove, line });
        return ops;
    }

    size_t const n = a.size();
    size_t const m = b.size();
    std::vector<std::string> canonicalA;
    std::vector<std::string> canonicalB;
    canonicalA.reserve(n);
    canonicalB.reserve(m);
    for (auto line : a)
        canonicalA.push_back(canonical(line));
    for (auto line : b)
        canonicalB.push_back(canonical(line));

    size_t const width = m + 1;
    std::vector<uint16_t> table((n + 1) * width, 0);
    auto L = [&](size_t i, size_t j) -> uint16_t& { return table[i * width + j]; };
    for (size_t i = n; i-- > 0;) {
        for (size_t j = m; j-- > 0;) {
            if (canonicalA[i] == canonicalB[j])
                L(i, j) = static_cast<uint16_t>(L(i + 1, j + 1) + 1);
            else
                L(i, j) = std::max(L(i + 1, j), L(i, j + 1));
        }
    }

    size_t i = 0;
    size_t j = 0;
    while (i < n && j < m) {
        if (canonicalA[i] == canonicalB[j]) {
            ops.push_back({ Op::equal, a[i] });
            ++i;
            ++j;
        } else if (L(i + 1, j) < L(i, j + 1)) {
            ops.push_back({ Op::insert, b[j] });
            ++j;
        } else {
            ops.push_back({ Op::remove, a[i] });
            ++i;
        }
    }
    for (; i < n; ++i)
        ops.push_back({ Op::remove, a[i] });
    for (; j < m; ++j)
        ops.push_back({ Op::insert, b[j] });
    return ops;
}

// One hunk: its header, then its body. The ops before the hunk give its starting line numbers.
void appendHunk(std::vector<Op> const& ops, size_t start, size_t end, std::vector<std::string>& out)
{
    int64_t oldStart = 1;
    int64_t newStart = 1;
    for (size_t k = 0; k < start; ++k) {
        if (ops[k].kind != Op::insert)
            ++oldStart;
        if (ops[k].kind != Op::remove)
            ++newStart;
    }
    int64_t oldCount = 0;
    int64_t newCount = 0;
    std::vector<std::string> body;
    for (size_t k = start; k < end; ++k) {
        Op const& op = ops[k];
        switch (op.kind) {
        case Op::equal:
            ++oldCount;
            ++newCount;
            body.push_back(" " + std::string(op.text));
            break;
        case Op::remove:
            ++oldCount;
            body.push_back("-" + std::string(op.text));
            break;
        case Op::insert:
            ++newCount;
            body.push_back("+" + std::string(op.text));
            break;
        }
    }
    out.push_back("@@ -" + std::to_string(oldStart) + "," + std::to_string(oldCount) + " +" + std::to_string(newStart) + ","
        + std::to_string(newCount) + " @@");
    for (auto& line : body)
        out.push_back(std::move(line));
}

Lines unifiedDiff(std::string_view oldText, std::string_view newText, std::string const& name, int64_t maxLines)
{
    std::vector<Op> const ops = diffLines(splitLines(oldText), splitLines(newText));
    size_t const count = ops.size();
    std::vector<std::string> collected;
    size_t p = 0;
    while (p < count) {
        while (p < count && ops[p].kind == Op::equal)
            ++p;
        if (p == count)
            break;
        size_t const change = p;
        size_t start = change;
        while (start > 0 && change - start < contextLines && ops[start - 1].kind == Op::equal)
            --start;
        size_t last = change;
        size_t unchanged = 0;
        for (size_t q = change; q < count; ++q) {
            if (ops[q].kind != Op::equal) {
                last = q;
                unchanged = 0;
                continue;
            }
            if (unchanged == maxGapInHunk)
                break;
            ++unchanged;
        }
        size_t end = last + 1;
        while (end < count && end - (last + 1) < contextLines && ops[end].kind == Op::equal)
            ++end;
        appendHunk(ops, start, end, collected);
        p = end;
    }
    if (collected.empty())
        return {};

    Lines result;
    if (collected.size() > static_cast<size_t>(maxLines)) {
        result.leftOut = static_cast<int64_t>(collected.size()) - maxLines;
        collected.resize(static_cast<size_t>(maxLines));
    }
    collected.insert(collected.begin(), { "--- a/" + name, "+++ b/" + name });
    result.text = joined(collected);
    return result;
}

Lines multiEditSummary(JSON::Value const* edits, std::string const& name)
{
    if (!edits || !edits->is_array() || edits->empty())
        return {};
    static JSON::Value const emptyObject = JSON::Value::object();
    std::vector<std::string> out;
    int64_t budget = maxDiffLines;
    Lines result;
    size_t const total = edits->size();
    for (size_t k = 0; k < total; ++k) {
        JSON::Value const& element = (*edits)[k].is_object() ? (*edits)[k] : emptyObject;
        std::string const oldText = stringField(element, "old_string");
        std::string const newText = stringField(element, "new_string");
        auto const oldLines = splitLines(oldText);
        auto const newLines = splitLines(newText);
        out.push_back("--- edit " + std::to_string(k + 1) + "/" + std::to_string(total) + " \xE2\x80\x94 " + name + ": -"
            + std::to_string(oldLines.size()) + " +" + std::to_string(newLines.size()));
        std::vector<std::string> body;
        for (auto line : oldLines)
            body.push_back("-" + std::string(line));
        for (auto line : newLines)
            body.push_back("+" + std::string(line));
        int64_t const size = static_cast<int64_t>(body.size());
        if (budget > 0) {
            int64_t const shown = std::min(size, budget);
            for (int64_t i = 0; i < shown; ++i)
                out.push_back(std::move(body[static_cast<size_t>(i)]));
            result.leftOut += size - shown;
            budget = std::max<int64_t>(0, budget - size);
        } else {
            result.leftOut += size;
        }
    }
    result.text = joined(out);
    return result;
}

Lines newFileSummary(std::string const& path, std::string_view content)
{
    auto const lines = splitLines(content);
    std::vector<std::string> out { "new file: " + path };
    size_t const shown = std::min(lines.size(), static_cast<size_t>(maxDiffLines));
    for (size_t i = 0; i < shown; ++i)
        out.push_back("+" + std::string(lines[i]));
    return { joined(out), static_cast<int64_t>(lines.size() - shown) };
}

// Cuts text to limit characters; true when something was cut.
bool cut(std::string& text, int64_t limit)
{
    if (Text::characterCount(text) <= static_cast<size_t>(limit))
        return false;
    text = Text::prefix(text, static_cast<size_t>(limit));
    return true;
}

Result fileEditResult(std::string target, Lines lines)
{
    Result result { std::move(target), std::move(lines.text), false, lines.leftOut };
    result.truncated = cut(result.summary, maxSummaryCharacters) || result.truncatedLines > 0;
    return result;
}

Result textResult(std::string target, std::string summary)
{
    Result result { std::move(target), std::move(summary), false, 0 };
    result.truncated = cut(result.summary, maxTextCharacters);
    return result;
}

}

Result summarize(std::string_view tool, JSON::Value const* input, FileReader const& readFile)
{
    static JSON::Value const emptyObject = JSON::Value::object();
    JSON::Value const& fields = input && input->is_object() ? *input : emptyObject;

    if (tool == "Edit") {
        std::string path = stringField(fields, "file_path");
        std::string const name = displayName(path);
        return fileEditResult(std::move(path),
            unifiedDiff(stringField(fields, "old_string"), stringField(fields, "new_string"), name, maxDiffLines));
    }
    if (tool == "NotebookEdit") {
        std::string path = optionalField(fields, "notebook_path").value_or(stringField(fields, "file_path"));
        std::string prefix;
        if (auto cell = optionalField(fields, "cell_id"))
            prefix = "cell " + *cell + "\n";
        std::string const oldText = optionalField(fields, "old_source").value_or(stringField(fields, "old_string"));
        std::string const newText = optionalField(fields, "new_source").value_or(stringField(fields, "new_string"));
        Lines lines = unifiedDiff(oldText, newText, displayName(path), maxDiffLines);
        lines.text = prefix + lines.text;
        return fileEditResult(std::move(path), std::move(lines));
    }
    if (tool == "MultiEdit") {
        std::string path = stringField(fields, "file_path");
        std::string const name = displayName(path);
        return fileEditResult(std::move(path), multiEditSummary(JSON::member(&fields, "edits"), name));
    }
    if (tool == "Write") {
        std::string path = stringField(fields, "file_path");
        std::string const content = stringField(fields, "content");
        std::optional<std::string> current;
        if (!path.empty() && readFile)
            current = readFile(path);
        Lines lines = current ? unifiedDiff(*current, content, displayName(path), maxDiffLines) : newFileSummary(path, content);
        return fileEditResult(std::move(path), std::move(lines));
    }
    if (tool == "Bash" || tool == "BashOutput" || tool == "KillShell")
        return textResult(stringField(fields, "description"), stringField(fields, "command"));
    if (tool == "WebFetch") {
        std::string url = stringField(fields, "url");
        std::string const prompt = stringField(fields, "prompt");
        std::string summary = prompt.empty() ? url : url + "\n" + prompt;
        return textResult(std::move(url), std::move(summary));
    }
    if (tool == "WebSearch")
        return textResult(std::string(), stringField(fields, "query"));

    Result result;
    result.summary = JSON::serialize(fields).value_or("{}");
    result.truncated = cut(result.summary, maxFallbackCharacters);
    return result;
}

std::optional<std::string> readTargetFile(std::string const& path)
{
    auto bytes = RegularFile::read(path, static_cast<size_t>(maxFileBytes));
    if (!bytes || !Text::isValidUTF8(*bytes))
        return std::nullopt;
    return bytes;
}

}
