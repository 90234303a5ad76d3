#pragma once
#include <cstdint>

namespace kavro {

// What a typed keyword is matched against. The server and the stored searches carry the number;
// a number outside the list (an older or foreign record) is kept as it is: the search sends it as
// a job-name search and the keyword-type selector leaves its segment alone.
enum class KeywordType : std::int32_t { CompanyName = 0, JobName = 1, FullText = 2 };

constexpr std::int32_t ToInt(KeywordType type) { return static_cast<std::int32_t>(type); }
// Any 32-bit number is a valid value of the type, so a stored one is taken over unchanged.
constexpr KeywordType KeywordTypeFromInt(std::int32_t number) { return static_cast<KeywordType>(number); }

}  // namespace kavro
