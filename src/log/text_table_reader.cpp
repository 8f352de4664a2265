#include "log/text_table_file.h"

#include "log/piece_sharing.h"
#include "log/unaligned_word.h"
#include "log/whole_number.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qm::log {
namespace {

constexpr std::size_t kFieldCount = 2 + kTextFieldCount;

// The lines a piece of the file holds: CR LF, CR and LF each end one, and so does the end of the
// piece when its last line has no line end: the lines LineParser cuts.
std::size_t countLines(std::string_view bytes) {
  const char* const p = bytes.data();
  const std::size_t n = bytes.size();
  std::size_t ends = 0;
  std::size_t i = 0;
#if defined(__SSE2__)
  // Sixteen bytes at a time: a byte lane counts its line ends (0xFF, that is -1, for each) for up
  // to 255 rounds, then the lanes are summed.
  const __m128i lf = _mm_set1_epi8('\n');
  const __m128i cr = _mm_set1_epi8('\r');
  while (i + 17 <= n) {
    __m128i lanes = _mm_setzero_si128();
    const std::size_t rounds = std::min<std::size_t>(255, (n - i - 1) / 16);
    for (std::size_t round = 0; round < rounds; ++round, i += 16) {
      const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
      const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 1));
      const __m128i lfs = _mm_cmpeq_epi8(here, lf);
      const __m128i lonelyCrs = _mm_andnot_si128(_mm_cmpeq_epi8(next, lf), _mm_cmpeq_epi8(here, cr));
      lanes = _mm_sub_epi8(_mm_sub_epi8(lanes, lfs), lonelyCrs);
    }
    const __m128i sums = _mm_sad_epu8(lanes, _mm_setzero_si128());
    ends += static_cast<std::size_t>(_mm_cvtsi128_si32(sums) + _mm_extract_epi16(sums, 4));
  }
#endif
  for (; i < n; ++i) {
    if (p[i] == '\n' || (p[i] == '\r' && (i + 1 == n || p[i + 1] != '\n'))) {
      ++ends;
    }
  }
  if (n > 0 && p[n - 1] != '\n' && p[n - 1] != '\r') {
    ++ends;
  }
  return ends;
}

// Where the last whole line of `bytes` ends: after an LF, or after a CR that something other than
// an LF follows. At the end of the file every line is whole.
std::size_t wholeLinesEnd(std::string_view bytes, bool atEnd) {
  if (atEnd) {
    return bytes.size();
  }
  for (std::size_t end = bytes.size(); end > 0; --end) {
    if (bytes[end - 1] == '\n' || (bytes[end - 1] == '\r' && end < bytes.size())) {
      return end;
    }
  }
  return 0;
}

// The TABs, CRs and LFs of a piece of the file, in order, found 64 bytes at a time: a line's
// fields are then cut without a scan of their own, and without a branch for every field that the
// processor mispredicts whenever a value is longer or shorter than the last one.
class SeparatorScanner {
public:
  explicit SeparatorScanner(std::string_view bytes)
      : block_(bytes.data()), end_(bytes.data() + bytes.size()), bits_(blockBits()) {}

  // The next separator, or the end of the piece.
  const char* next() {
    while (bits_ == 0) {
      if (end_ - block_ <= static_cast<std::ptrdiff_t>(kBlockBytes)) {
        return end_;
      }
      block_ += kBlockBytes;
      bits_ = blockBits();
    }
    const char* const at = block_ + __builtin_ctzll(bits_);
    bits_ &= bits_ - 1;
    return at;
  }

private:
  static constexpr std::size_t kBlockBytes = 64;

  // Bit i set: byte i of the block is a separator.
  std::uint64_t blockBits() const {
    return end_ - block_ >= static_cast<std::ptrdiff_t>(kBlockBytes) ? separatorBits(block_) : lastBlockBits();
  }

  // Apart, so that the copy's buffer is not cleared for every block.
  [[gnu::noinline]] std::uint64_t lastBlockBits() const {
    std::array<char, kBlockBytes> last{};  // zero bytes are no separators
    std::memcpy(last.data(), block_, static_cast<std::size_t>(end_ - block_));
    return separatorBits(last.data());
  }

  static std::uint64_t separatorBits(const char* block) {
    std::uint64_t bits = 0;
#if defined(__SSE2__)
    const __m128i tab = _mm_set1_epi8('\t');
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    for (std::size_t part = 0; part < kBlockBytes / 16; ++part) {
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + part * 16));
      const __m128i stops =
          _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, tab), _mm_cmpeq_epi8(bytes, cr)), _mm_cmpeq_epi8(bytes, lf));
      bits |= std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(stops))} << (part * 16);
    }
#else
    for (std::size_t i = 0; i < kBlockBytes; ++i) {
      bits |= std::uint64_t{block[i] == '\t' || block[i] == '\r' || block[i] == '\n'} << i;
    }
#endif
    return bits;
  }

  const char* block_;  // the block bits_ belongs to
  const char* end_;
  std::uint64_t bits_;  // the separators of the block not returned yet
};

// Parses lines into rows of the room the table reserved; one for each thread.
class LineParser {
public:
  LineParser(const TimeOfDayFormat& timeFormat, ReadingTable& table) : timeFormat_(timeFormat), writer_(table) {}

  struct Outcome {
    std::size_t rows = 0;  // rows written; when failed, the failing line is the next one
    std::optional<std::string> failure;
  };

  // Lines end at CR LF, CR or LF. Lines are cut a few ahead of the one being stored, so that
  // the texts of their values are fetched from memory meanwhile.
  Outcome parse(std::string_view lines, std::size_t firstReserved) {
    Outcome outcome = parseRows(lines, firstReserved);
    writer_.settleTexts();  // while the lines' bytes are there
    return outcome;
  }

private:
  Outcome parseRows(std::string_view lines, std::size_t firstReserved) {
    lastTail_ = {};
    lastTextIds_.fill(kNoTextId);
    SeparatorScanner separators(lines);
    const char* at = lines.data();
    const char* const end = at + lines.size();
    std::array<Line, kLinesAhead> ahead;
    // Counted here rather than in an Outcome, which the calls below would keep in memory.
    std::size_t rows = 0;
    for (std::size_t cutLines = 0;; ++rows) {
      for (; cutLines - rows < kLinesAhead && at != end; ++cutLines) {
        at = cut(at, end, separators, ahead[cutLines % kLinesAhead]);
      }
      if (cutLines == rows) {
        return {rows, std::nullopt};
      }
      const Line& line = ahead[rows % kLinesAhead];
      if (line.empty()) {
        return {rows, "the line is empty"};
      }
      if (std::optional<std::string> failure = parseLine(line)) {
        return {rows, std::move(failure)};
      }
      writer_.write(firstReserved + rows, no_, time_, textIds(line), kRowAdded);
    }
  }

  static constexpr std::size_t kLinesAhead = 4;

  // A line cut at its separators: the end of each field, in order. The stops of a line of more
  // than eight fields wrap round, so no field of a line of more than six may be read: it fails.
  struct Line {
    const char* start = nullptr;
    std::array<const char*, 8> stops{};
    std::size_t count = 0;

    std::string_view field(std::size_t i) const {
      const char* const from = i == 0 ? start : stops[i - 1] + 1;
      return {from, static_cast<std::size_t>(stops[i] - from)};
    }
    bool empty() const { return count == 1 && stops[0] == start; }
    // The line after its value, from the TAB that ends the value on: the unit, function and
    // remark with their separators, or nothing when the line has none of them.
    std::string_view tail() const {
      return count > 2 ? std::string_view(stops[2], static_cast<std::size_t>(stops[count - 1] - stops[2]))
                       : std::string_view();
    }
  };

  // Cuts the line at `at`; returns where the next line starts.
  const char* cut(const char* at, const char* end, SeparatorScanner& separators, Line& line) const {
    line.start = at;
    // The scanner is worked on as a copy of this call's own: a store into `line` might, for all
    // the compiler knows, change the scanner's pointers, which it would then read back from
    // memory for every field. (Gathering the stops in a local array instead cost more: the array's
    // copy read them back in wider loads than they were stored in, which stalls the processor.)
    SeparatorScanner scanner = separators;
    std::size_t count = 0;
    const char* stop = nullptr;
    do {
      stop = scanner.next();
      line.stops[count++ & 7] = stop;
    } while (stop != end && *stop == '\t');
    separators = scanner;
    line.count = count;
    if (count > 2 && count <= kFieldCount) {
      writer_.expect(line.field(2));
    }
    if (stop == end) {
      return end;
    }
    if (*stop == '\r' && stop + 1 != end && stop[1] == '\n') {
      separators.next();  // the LF of this line's CR LF
      return stop + 2;
    }
    return stop + 1;
  }

  std::optional<std::string> parseLine(const Line& line) {
    if (line.count > kFieldCount) {
      return "the line has more than six fields separated by TAB";
    }
    const std::string_view number = line.field(0);
    no_ = decimalNumber<std::int32_t>(number);
    if (!no_) {
      return number.empty() ? std::string("the record number (No) is empty")
                            : quoted(number) + " is not a record number (No), a whole number from -2147483648 to 2147483647";
    }
    if (line.count > 1) {
      // The time as a plain number first: see twoDigitTimeOfDay.
      const std::string_view text = line.field(1);
      TimeOfDay time = timeFormat_.parseAsWritten(text);
      if (time < 0) {
        const std::optional<TimeOfDay> otherwise = timeFormat_.parse(text);
        if (!otherwise) {
          return quoted(text) + " is not a time of day (Time) like \"" + timeFormat_.format(47'109'000) + '"';
        }
        time = *otherwise;
      }
      time_ = time;
    } else {
      time_.reset();
    }
    return std::nullopt;
  }

  // The ids of the line's texts. A log repeats its unit, function and remark row after row, so
  // when the line after the value is byte for byte the last line's, so are their ids.
  const ReadingTable::RowWriter::TextIds& textIds(const Line& line) {
    constexpr std::size_t kFirstText = 2;  // the value's place in a line
    lastTextIds_[0] = line.count > kFirstText ? writer_.textIdSettledLater(0, line.field(kFirstText)) : kNoTextId;
    if (const std::string_view tail = line.tail(); !sameBytes(tail, lastTail_)) {
      for (std::size_t field = 1; field < kTextFieldCount; ++field) {
        const std::size_t position = kFirstText + field;
        lastTextIds_[field] = position < line.count ? writer_.textIdSettledLater(field, line.field(position)) : kNoTextId;
      }
      lastTail_ = tail;
    }
    return lastTextIds_;
  }

  // Compared sixteen or eight bytes at a time, the last piece overlapping the one before: a call
  // to memcmp costs more than the compare for the thirty-odd bytes of a tail.
  static bool sameBytes(std::string_view a, std::string_view b) {
    const std::size_t size = a.size();
    if (size != b.size()) {
      return false;
    }
#if defined(__SSE2__)
    if (size >= 16) {
      auto differ = [&](std::size_t at) {
        const __m128i left = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a.data() + at));
        const __m128i right = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b.data() + at));
        return _mm_movemask_epi8(_mm_cmpeq_epi8(left, right)) ^ 0xFFFF;
      };
      int differs = differ(size - 16);
      for (std::size_t at = 0; at + 16 < size; at += 16) {
        differs |= differ(at);
      }
      return differs == 0;
    }
#endif
    if (size < 8) {
      return a == b;
    }
    std::uint64_t differ = 0;
    for (std::size_t at = 0; at + 8 < size; at += 8) {
      differ |= unalignedWord<std::uint64_t>(a.data() + at) ^ unalignedWord<std::uint64_t>(b.data() + at);
    }
    return (differ | (unalignedWord<std::uint64_t>(a.data() + size - 8) ^ unalignedWord<std::uint64_t>(b.data() + size - 8))) == 0;
  }

  const TimeOfDayFormat& timeFormat_;
  ReadingTable::RowWriter writer_;
  std::optional<std::int32_t> no_;
  std::optional<TimeOfDay> time_;
  // The tail of the line parsed last in the piece, and the ids of that line's texts.
  std::string_view lastTail_;
  ReadingTable::RowWriter::TextIds lastTextIds_{};
};

class TextTableReader {
public:
  TextTableReader(const TimeOfDayFormat& timeFormat, ReadingTable& table, const FileProgress& progress)
      : timeFormat_(timeFormat), table_(table), progress_(progress), parser_(timeFormat, table) {}

  std::optional<LoadFailure> read(ChunkedInput& input) {
    std::optional<LoadFailure> failure = skipHeader(input);
    report(input.offset(), input.size());
    while (!failure) {
      const std::string_view bytes = input.bytes();
      const std::size_t end = wholeLinesEnd(bytes, input.atEnd());
      if (end > 0) {
        failure = parseLines(input, bytes.substr(0, end));
        input.consume(end);
        report(input.offset(), input.size());
      } else if (input.atEnd()) {
        break;
      } else if (!input.readMore()) {
        failure = input.failure();
      }
    }
    table_.commitReservedAddedRows(rows_);
    if (!failure) {
      report(input.size(), input.size());
    }
    return failure;
  }

private:
  std::optional<LoadFailure> skipHeader(ChunkedInput& input) {
    for (;;) {
      const std::string_view bytes = input.bytes();
      const std::size_t lineEnd = std::min(bytes.find('\n'), bytes.find('\r'));
      if (lineEnd != std::string_view::npos && (lineEnd + 1 < bytes.size() || input.atEnd())) {
        const bool crLf = bytes[lineEnd] == '\r' && lineEnd + 1 < bytes.size() && bytes[lineEnd + 1] == '\n';
        input.consume(lineEnd + (crLf ? 2 : 1));
        return std::nullopt;
      }
      if (input.atEnd()) {
        if (input.size() == 0) {
          return LoadFailure{"the file is empty: a table file begins with a header line", 1, 0};
        }
        input.consume(bytes.size());
        return std::nullopt;
      }
      if (!input.readMore()) {
        return input.failure();
      }
    }
  }

  // Parses whole lines into reserved rows, a piece at a time on both threads. The lines of every
  // piece are counted first, which tells each piece the rows it is parsed into; counting takes
  // this thread about as long as the helper needs to read the next block.
  std::optional<LoadFailure> parseLines(ChunkedInput& input, std::string_view lines) {
    cutIntoPieces(lines, afterLineFeed, pieces_);
    numberPieces(pieces_, 0, countLines, firstRows_);
    const std::size_t count = pieces_.size();
    const std::size_t base = table_.reserveRows(firstRows_[count]);
    if (count > 1 && !workerParser_) {
      workerParser_ = std::make_unique<LineParser>(timeFormat_, table_);
    }
    outcomes_.assign(count, {});
    shareOutPieces(input, count, [&](std::size_t piece, int thread) {
      LineParser& parser = thread == 0 ? parser_ : *workerParser_;
      outcomes_[piece] = parser.parse(pieces_[piece], base + firstRows_[piece]);
      return !outcomes_[piece].failure;
    });
    const auto failed = std::find_if(outcomes_.begin(), outcomes_.end(), [](const LineParser::Outcome& outcome) { return outcome.failure; });
    if (failed == outcomes_.end()) {
      rows_ += firstRows_[count];
      return std::nullopt;
    }
    rows_ += firstRows_[static_cast<std::size_t>(failed - outcomes_.begin())] + failed->rows;
    // The header is line 1.
    return LoadFailure{*failed->failure, rows_ + 2, std::nullopt};
  }

  void report(std::uint64_t done, std::uint64_t total) const {
    if (progress_) {
      progress_(done, total);
    }
  }

  const TimeOfDayFormat& timeFormat_;
  ReadingTable& table_;
  const FileProgress& progress_;
  LineParser parser_;  // of this thread
  std::unique_ptr<LineParser> workerParser_;
  std::vector<std::string_view> pieces_;
  // Where each piece's rows begin among the lines parsed at once; last, how many rows they are.
  std::vector<std::size_t> firstRows_;
  std::vector<LineParser::Outcome> outcomes_;
  std::size_t rows_ = 0;  // good rows in the reserved room
};

}  // namespace

std::optional<LoadFailure> readTextTable(ChunkedInput& input, const TimeOfDayFormat& timeFormat, ReadingTable& table,
                                         const FileProgress& progress) {
  return TextTableReader(timeFormat, table, progress).read(input);
}

bool readTextTable(std::string_view bytes, const TimeOfDayFormat& timeFormat, ReadingTable& table,
                   const FileProgress& progress) {
  ChunkedInput input(bytes);
  return !readTextTable(input, timeFormat, table, progress);
}

}  // namespace qm::log
