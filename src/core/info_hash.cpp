#include "core/info_hash.h"

#include "core/bencode_scan.h"
#include "core/regular_file.h"
#include "core/sha1.h"
#include "core/sha256.h"
#include "core/text_ops.h"
#include "core/torrent_facts.h"
#include "core/utf8_text.h"

#include <algorithm>
#include <array>
#include <bit>
#include <new>

namespace {

const std::string kSeparator = "   ";
const std::string kNotATorrent = "Not a Torrent File   ";

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsControlByte(char c) {
    return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
}

// 1-based index of the first occurrence of `text`, or 0.
int64_t IndexOf(std::string_view content, std::string_view text, int64_t from = 1) {
    size_t found = content.find(text, static_cast<size_t>(from - 1));
    return found == std::string_view::npos ? 0 : static_cast<int64_t>(found) + 1;
}

char ByteAt(std::string_view content, int64_t index) {
    return content[static_cast<size_t>(index - 1)];
}

FileResult NotATorrent(std::string_view namePart) {
    FileResult result;
    result.lines = {kNotATorrent + std::string(namePart)};
    return result;
}

// The strictly well-formed reading: what every client calls the info-hash.
std::optional<FileResult> WellFormedResult(std::string_view content, std::string_view namePart,
                                           ResultDetail detail) {
    std::optional<MetainfoLayout> layout =
        ScanMetainfo(content, detail == ResultDetail::Everything);
    if (!layout || !layout->infoIsDictionary)
        return std::nullopt;
    const bool hasVersion2 = layout->isMetaVersion2 && layout->hasFileTree;
    if (!layout->hasPieces && !hasVersion2)
        return std::nullopt;
    std::string_view info = content.substr(layout->infoBegin, layout->infoEnd - layout->infoBegin);
    FileResult result;
    result.kind = FileKind::Ok;
    if (layout->hasPieces)
        result.v1 = Sha1HexDigest(info);
    if (hasVersion2 && (!layout->hasPieces || detail == ResultDetail::Everything))
        result.v2 = Sha256HexDigest(info);
    result.lines = {(layout->hasPieces ? result.v1 : result.v2) + kSeparator +
                    std::string(namePart)};
    if (detail == ResultDetail::Everything) {
        if (std::optional<std::string_view> name = TorrentName(*layout))
            result.torrentName = std::string(*name);
        for (std::string_view tracker : TorrentTrackers(*layout))
            result.trackers.emplace_back(tracker);
    }
    return result;
}

bool LooksLikeMetainfo(std::string_view content) {
    return !content.empty() && content.back() == 'e' && content.front() == 'd' &&
           IndexOf(content, ":announce") != 0 && IndexOf(content, ":length") != 0 &&
           IndexOf(content, ":pieces") != 0;
}

// The number after the first occurrence of `key`, up to the next ':', and how many bytes it
// takes with that ':'. Positions are 1-based.
struct NumberAfterKey {
    int32_t value;
    int64_t consumed;
};

// The digits from `start` on, and the position just past the byte that ends them.
struct DigitRun {
    int32_t value;
    int64_t next;
};

NumberAfterKey ReadNumberAfterKey(std::string_view content, std::string_view key) {
    int64_t start = IndexOf(content, key) + static_cast<int64_t>(key.size());
    std::string_view rest =
        content.substr(std::min(content.size(), static_cast<size_t>(start - 1)));
    std::string_view collected = rest.substr(0, rest.find(':'));
    return {TextToInt(collected), static_cast<int64_t>(collected.size()) + 1};
}

DigitRun ReadDigitRun(std::string_view content, int64_t start) {
    std::string_view rest = content.substr(static_cast<size_t>(start - 1));
    size_t digits = 0;
    while (digits < rest.size() && IsDigit(rest[digits]))
        ++digits;
    int32_t value = TextToInt(rest.substr(0, digits));
    // Past the terminating byte; when the digits run to the end, just past the end.
    if (digits == rest.size())
        return {value, static_cast<int64_t>(content.size()) + 1};
    return {value, start + static_cast<int64_t>(digits) + 1};
}

// The position just past the element that starts at `at`, or `at` itself for an element that
// cannot be skipped: a list, a dictionary or a stray byte.
int64_t NextElement(std::string_view content, int64_t at) {
    const char c = ByteAt(content, at);
    if (IsDigit(c)) {
        DigitRun run = ReadDigitRun(content, at);
        return run.next + run.value;
    }
    if (c == 'i') {
        int64_t close = IndexOf(content, "e", at + 1);
        return close == 0 ? static_cast<int64_t>(content.size()) + 1 : close + 1;
    }
    return at;
}

// The file's bytes at the failing position are shown as they are, except that control
// characters and bytes that form no UTF-8 character among the four become ".": the report stays
// two lines wherever it goes, and the same bytes in every program and code page that reads
// UTF-8.
std::string DetailBytes(std::string_view content, int64_t at) {
    std::string detail(content.substr(static_cast<size_t>(at - 1), 4));
    for (size_t i = 0; i < detail.size();) {
        const size_t character = Utf8CharacterLength(detail, i);
        if (character == 0 || IsControlByte(detail[i]))
            detail[i++] = '.';
        else
            i += character;
    }
    return detail;
}

bool IsOnTheWalk(std::string_view content, int64_t at) {
    return at >= 1 && at <= static_cast<int64_t>(content.size()) && ByteAt(content, at) != 'e';
}

// The position `steps` steps along the walk from `at`.
int64_t Advance(std::string_view content, int64_t at, int64_t steps) {
    for (; steps > 0; --steps)
        at = NextElement(content, at);
    return at;
}

// Where the walk from `start` that goes round forever closes its loop: the position whose step
// leads back to one the walk has stood on. `onLoop` is a position on the loop.
int64_t LoopClosingPosition(std::string_view content, int64_t start, int64_t onLoop) {
    int64_t loopSteps = 1;
    for (int64_t at = NextElement(content, onLoop); at != onLoop; at = NextElement(content, at))
        ++loopSteps;
    // Two walkers a loop's length apart meet first on the loop's first position.
    int64_t behind = start;
    int64_t ahead = Advance(content, start, loopSteps);
    while (behind != ahead) {
        behind = NextElement(content, behind);
        ahead = NextElement(content, ahead);
    }
    return Advance(content, behind, loopSteps - 1);
}

// Where the walk stops: at the end position, or, for a walk that cannot end, at the position
// whose step cannot be taken or closes a loop.
struct WalkEnd {
    int64_t position;
    bool endless;
};

// Every step is decided by the position alone, so a walk that comes back to a position it
// stood on goes round forever: that, like an element that cannot be skipped (a step that stays
// where it is), makes the file malformed. Constant memory: each step's landing is compared with
// the positions the walk stood on at exponentially spaced steps (slot k holds the last one
// whose step count has k trailing zero bits), which catches a loop before it has gone round
// three times, so no step is taken more than a few times over, however long the loop's tail.
WalkEnd Walk(std::string_view content, int64_t start) {
    std::array<int64_t, 64> earlier{};
    size_t slotsInUse = 0;
    uint64_t steps = 0;
    int64_t at = start;
    while (IsOnTheWalk(content, at)) {
        const int64_t next = NextElement(content, at);
        if (next == at)
            return {at, true};
        // A count of steps below 2^64 has fewer than 64 trailing zero bits.
        earlier[static_cast<size_t>(std::countr_zero(++steps)) % earlier.size()] = at;
        slotsInUse = std::max(slotsInUse, static_cast<size_t>(std::bit_width(steps)));
        const auto inUse = earlier.begin() + static_cast<ptrdiff_t>(slotsInUse);
        if (std::find(earlier.begin(), inUse, next) != inUse)
            return {LoopClosingPosition(content, start, next), true};
        at = next;
    }
    return {at, false};
}

FileResult MalformedReport(std::string_view content, int64_t at, std::string_view namePart) {
    FileResult result;
    result.kind = FileKind::Malformed;
    result.lines = {"Error!", DetailBytes(content, at) + "    " + Sha1HexDigest(content) + "     " +
                                  std::string(namePart)};
    return result;
}

// The byte-search reading, for everything that is not strictly well-formed: finds the info
// value's start by ":info" and its end by jumping over the pieces string and walking the
// strings and integers after it up to the "e" that closes the info dictionary.
FileResult SearchedResult(std::string_view content, std::string_view namePart) {
    if (!LooksLikeMetainfo(content))
        return NotATorrent(namePart);

    const int64_t length = static_cast<int64_t>(content.size());
    NumberAfterKey pieces = ReadNumberAfterKey(content, ":pieces");
    int64_t end = IndexOf(content, ":pieces") + 7 + pieces.consumed + pieces.value;

    const WalkEnd walk = Walk(content, end);
    if (walk.endless)
        return MalformedReport(content, walk.position, namePart);
    end = walk.position;
    // A position before the content ends the walk as if the content had ended.
    if (end < 1 || end > length)
        end = length;

    int64_t first = IndexOf(content, ":info") + 5;
    std::string_view range;
    if (first <= length && end >= first)
        range =
            content.substr(static_cast<size_t>(first - 1), static_cast<size_t>(end - first + 1));
    FileResult result;
    result.kind = FileKind::Heuristic;
    result.v1 = Sha1HexDigest(range);
    result.lines = {result.v1 + kSeparator + std::string(namePart)};
    return result;
}

} // namespace

FileResult DescribeContent(std::string_view content, std::string_view fileName,
                           ResultDetail detail) {
    std::string namePart = FileNameOf(fileName);
    if (std::optional<FileResult> result = WellFormedResult(content, namePart, detail))
        return std::move(*result);
    return SearchedResult(content, namePart);
}

std::vector<std::string> InfoHashLines(std::string_view content, std::string_view fileName) {
    return DescribeContent(content, fileName).lines;
}

namespace {

FileResult Unreadable(std::string_view fileName, std::string reason) {
    FileResult result = NotATorrent(FileNameOf(fileName));
    result.kind = FileKind::Unreadable;
    result.reason = std::move(reason);
    return result;
}

// One reading of the file and its result; nullopt when the file changed meanwhile.
std::optional<FileResult> DescribeOnce(RegularFileReader& reader, std::string_view fileName,
                                       ResultDetail detail) {
    // Content that does not start with "d" and end with "e" is not a torrent whatever else it
    // holds, so such a file is not read whole.
    constexpr FileEnds kMetainfoEnds{'d', 'e'};
    std::string failure = reader.Read(fileName, &kMetainfoEnds);
    std::optional<FileResult> result;
    if (failure.empty())
        result = DescribeContent(reader.Content(), fileName, detail);
    // Finish is due whatever the reading gave: it lets the file go.
    std::string change = reader.Finish();
    if (failure.empty())
        failure = change;
    if (failure == kChangedWhileRead)
        return std::nullopt;
    if (!failure.empty())
        return Unreadable(fileName, failure);
    return result;
}

} // namespace

FileResult DescribeFile(std::string_view fileName, ResultDetail detail) {
    thread_local RegularFileReader reader;
    try {
        for (int attempt = 0; attempt < 2; ++attempt)
            if (std::optional<FileResult> result = DescribeOnce(reader, fileName, detail))
                return std::move(*result);
        return Unreadable(fileName, kChangedWhileRead);
    } catch (const std::bad_alloc&) {
        reader.Finish();
        return Unreadable(fileName, "not enough memory");
    }
}

std::optional<std::string> ComputeInfoHashLine(std::string_view fileName,
                                               const AppendLine& appendToFileList) {
    std::vector<std::string> lines = DescribeFile(fileName).lines;
    if (lines.size() == 1)
        return lines.front();
    for (const std::string& line : lines)
        appendToFileList(line);
    return std::nullopt;
}
