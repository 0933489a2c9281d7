// The message dictionary: choosing the 128 words that save the most bytes and encoding messages
// with them.
#include <algorithm>

#include "image/encoder.h"
#include "image/image.h"
#include "model/message_text.h"

namespace orv {
namespace {

// The longest word the image can hold in a dictionary entry: longer words would be cut when
// written and no longer match the messages that refer to them.
constexpr std::size_t kMaxDictWord = kMaxImageChars;

std::string_view TrimSpaces(std::string_view s) {
    const auto first = s.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    const auto last = s.find_last_not_of(' ');
    return s.substr(first, last - first + 1);
}

// Calls f(word) for each space-separated word of text + " ", as the unit's word walk does: an
// empty word between two spaces is passed on as empty.
template <typename F>
void ForEachWord(std::string_view text, F&& f) {
    std::string padded(text);
    padded += ' ';
    std::size_t pos = 0;
    while (pos + 1 < padded.size()) {
        const std::size_t space = padded.find(' ', pos);
        f(std::string_view(padded).substr(pos, space - pos));
        pos = space + 1;
    }
}

}  // namespace

void CountWords(WordTable& table, std::string_view text) {
    ForEachWord(TrimSpaces(text), [&](std::string_view word) {
        if (word.size() < 2) return;
        std::string key(word);
        auto it = table.positions.find(key);
        if (it != table.positions.end()) {
            ++table.words[it->second].second;
        } else {
            table.positions.emplace(key, table.words.size());
            table.words.emplace_back(std::move(key), 1);
        }
    });
}

void BuildDictionary(ConfigRecord& rec) {
    WordTable table;
    for (auto& entry : rec.txtDict) entry.clear();
    for (auto& msg : rec.txtMsg) {
        if (!HasSingleBlanks(msg)) msg = WithSingleBlanks(msg);
        CountWords(table, msg);
    }

    // Rank by score (length x count), then by the word, both descending. This is the order of
    // the six-digit "score + word" keys sorted descending, without the six-digit limit.
    struct Candidate {
        long long score;
        const std::string* word;
    };
    std::vector<Candidate> candidates;
    for (const auto& [word, count] : table.words) {
        if (count >= 2 && word.size() <= kMaxDictWord)
            candidates.push_back({static_cast<long long>(word.size()) * count, &word});
    }
    if (candidates.empty()) return;
    auto better = [](const Candidate& a, const Candidate& b) {
        if (a.score != b.score) return a.score > b.score;
        return *a.word > *b.word;  // std::string compares by unsigned character codes
    };
    const std::size_t keep = std::min<std::size_t>(candidates.size(), kDictEntries);
    std::partial_sort(candidates.begin(), candidates.begin() + static_cast<std::ptrdiff_t>(keep),
                      candidates.end(), better);

    std::vector<std::string> words;
    words.reserve(keep);
    for (std::size_t n = 0; n < keep; ++n) words.push_back(*candidates[n].word);
    SortStrings(words, true, true);
    for (std::size_t d = 0; d < words.size(); ++d) rec.txtDict[d] = std::move(words[d]);
}

namespace detail {

MessageEncoder::MessageEncoder(const ConfigRecord& rec) {
    for (int d = 0; d < kDictEntries; ++d) {
        const std::string& word = rec.txtDict[static_cast<std::size_t>(d)];
        if (word.size() >= 2) entries_.emplace(word, d);  // emplace keeps the first entry
    }
}

std::string MessageEncoder::Encode(std::string_view text) const {
    std::string out;
    ForEachWord(text, [&](std::string_view word) {
        if (word.size() >= 2) {
            if (auto it = entries_.find(word); it != entries_.end()) {
                out += DictionaryCode(it->second);
                return;
            }
        }
        // Bytes 0x80 and above would read as dictionary codes, 0x00 as the end of the message.
        for (char c : word) out += IsLiteralByte(static_cast<std::uint8_t>(c)) ? c : '?';
        out += ' ';
    });
    return out;
}

}  // namespace detail

std::string EncodeMessage(const ConfigRecord& rec, std::string_view text) {
    return detail::MessageEncoder(rec).Encode(text);
}

}  // namespace orv
