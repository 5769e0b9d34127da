// The number formats of list levels and note marks.
#include "ofx_numfmt.h"

#include <cstdint>
#include <cstdio>
#include <vector>

#include "platform.h"

namespace {

// Splits a UTF-8 string into its characters.
std::vector<std::string> characters(const char* s) {
    std::vector<std::string> out;
    for (const char* p = s; *p;) {
        const char* q = p + 1;
        while ((static_cast<unsigned char>(*q) & 0xC0) == 0x80) ++q;
        out.emplace_back(p, q);
        p = q;
    }
    return out;
}

std::string decimal(long n) { return std::to_string(n); }

std::string roman(long n, bool upper) {
    if (n <= 0) return decimal(n);
    static const struct {
        int value;
        const char* upper;
        const char* lower;
    } k[] = {{1000, "M", "m"}, {900, "CM", "cm"}, {500, "D", "d"}, {400, "CD", "cd"}, {100, "C", "c"},
             {90, "XC", "xc"}, {50, "L", "l"},    {40, "XL", "xl"}, {10, "X", "x"},   {9, "IX", "ix"},
             {5, "V", "v"},    {4, "IV", "iv"},   {1, "I", "i"}};
    std::string s;
    for (const auto& e : k)
        while (n >= e.value) {
            s += upper ? e.upper : e.lower;
            n -= e.value;
        }
    return s;
}

// A, B, ... Z, AA, BB, ...: the letter repeated once more for each round.
std::string repeated(long n, const std::vector<std::string>& alphabet) {
    if (n <= 0 || alphabet.empty()) return decimal(n);
    long size = static_cast<long>(alphabet.size());
    long times = (n - 1) / size + 1;
    if (times > 64) return decimal(n);
    std::string s;
    for (long i = 0; i < times; ++i) s += alphabet[static_cast<size_t>((n - 1) % size)];
    return s;
}

// One character per number, up to the table's end.
std::string enclosed(long n, uint32_t first, long count) {
    if (n < 1 || n > count) return decimal(n);
    std::string s;
    plat_append_utf8(s, first + static_cast<uint32_t>(n - 1));
    return s;
}

std::string digits_as(long n, const std::vector<std::string>& ten) {
    if (n < 0) return decimal(n);
    std::string s;
    for (char c : decimal(n)) s += ten[static_cast<size_t>(c - '0')];
    return s;
}

std::string full_width(long n) {
    std::string s;
    for (char c : decimal(n)) {
        if (c >= '0' && c <= '9')
            plat_append_utf8(s, 0xFF10u + static_cast<uint32_t>(c - '0'));
        else
            s += c;
    }
    return s;
}

// When a one before a unit is left out: Japanese counting writes 十, 百
// and 千 alone; Chinese counting only 十 at the start of numbers below 20;
// the legal forms always write it.
enum one_rule { ONE_JAPANESE, ONE_CHINESE, ONE_ALWAYS };

// Numbers in a counting style: digits before the units 千, 百, 十, groups
// of four digits before 万 and 億; a zero character where digits are
// skipped (Chinese).
struct counting_style {
    const char* digits[10];
    const char* units[4];    // ones (empty), ten, hundred, thousand
    const char* myriads[3];  // ones (empty), ten thousand, hundred million
    one_rule ones;
    const char* zero;
};

const counting_style k_japanese = {{"〇", "一", "二", "三", "四", "五", "六", "七", "八", "九"},
                                   {"", "十", "百", "千"}, {"", "万", "億"}, ONE_JAPANESE, ""};
const counting_style k_japanese_legal = {{"〇", "壱", "弐", "参", "四", "伍", "六", "七", "八", "九"},
                                         {"", "拾", "百", "阡"}, {"", "萬", "億"}, ONE_ALWAYS, ""};
const counting_style k_chinese = {{"〇", "一", "二", "三", "四", "五", "六", "七", "八", "九"},
                                  {"", "十", "百", "千"}, {"", "万", "亿"}, ONE_CHINESE, "零"};
const counting_style k_chinese_legal = {{"零", "壹", "贰", "叁", "肆", "伍", "陆", "柒", "捌", "玖"},
                                        {"", "拾", "佰", "仟"}, {"", "万", "亿"}, ONE_ALWAYS, "零"};
const counting_style k_taiwanese = {{"〇", "一", "二", "三", "四", "五", "六", "七", "八", "九"},
                                    {"", "十", "百", "千"}, {"", "萬", "億"}, ONE_CHINESE, "零"};
const counting_style k_traditional_legal = {{"零", "壹", "貳", "參", "肆", "伍", "陸", "柒", "捌", "玖"},
                                            {"", "拾", "佰", "仟"}, {"", "萬", "億"}, ONE_ALWAYS, "零"};

std::string below_myriad(long n, const counting_style& st, bool leading) {
    std::string s;
    bool zero_pending = false;
    bool started = false;
    for (int place = 3; place >= 0; --place) {
        long d = n;
        for (int i = 0; i < place; ++i) d /= 10;
        d %= 10;
        if (d == 0) {
            if (started) zero_pending = true;
            continue;
        }
        if (zero_pending && *st.zero) s += st.zero;
        zero_pending = false;
        bool omit_one = place > 0 && d == 1 &&
                        (st.ones == ONE_JAPANESE || (st.ones == ONE_CHINESE && place == 1 && leading && n < 20));
        if (!omit_one) s += st.digits[d];
        s += st.units[place];
        started = true;
    }
    return s;
}

std::string counting(long n, const counting_style& st) {
    if (n <= 0) return n == 0 ? std::string(st.digits[0]) : decimal(n);
    std::vector<long> groups;
    for (long m = n; m > 0; m /= 10000) groups.push_back(m % 10000);
    if (groups.size() > 3) return decimal(n);
    std::string s;
    bool need_zero = false;
    for (size_t i = groups.size(); i-- > 0;) {
        long g = groups[i];
        if (g == 0) {
            need_zero = true;
            continue;
        }
        bool top = i + 1 == groups.size();
        if (!top && (need_zero || g < 1000) && *st.zero) s += st.zero;
        need_zero = false;
        // 一万 keeps its one in Japanese counting as well.
        std::string part = below_myriad(g, st, top);
        if (st.ones == ONE_JAPANESE && g == 1 && i > 0) part = st.digits[1];
        s += part + st.myriads[i];
    }
    return s;
}

// Numbers in words, as the list shows them: the first letter capital
// ("Twenty-one", "Three hundred five").
const char* const k_ones[] = {"", "one", "two", "three", "four", "five", "six", "seven", "eight", "nine", "ten",
                              "eleven", "twelve", "thirteen", "fourteen", "fifteen", "sixteen", "seventeen",
                              "eighteen", "nineteen"};
const char* const k_tens[] = {"", "", "twenty", "thirty", "forty", "fifty", "sixty", "seventy", "eighty", "ninety"};

std::string words_below_thousand(long n) {
    std::string s;
    if (n >= 100) {
        s = std::string(k_ones[n / 100]) + " hundred";
        n %= 100;
        if (n) s += " ";
    }
    if (n >= 20) {
        s += k_tens[n / 10];
        if (n % 10) s += std::string("-") + k_ones[n % 10];
    } else if (n > 0) {
        s += k_ones[n];
    }
    return s;
}

std::string cardinal_text(long n) {
    if (n <= 0 || n >= 1000000) return decimal(n);
    std::string s;
    if (n >= 1000) {
        s = words_below_thousand(n / 1000) + " thousand";
        n %= 1000;
        if (n) s += " ";
    }
    return s + words_below_thousand(n);
}

std::string first_capital(std::string s) {
    if (!s.empty() && s[0] >= 'a' && s[0] <= 'z') s[0] = static_cast<char>(s[0] - 32);
    return s;
}

std::string ordinal_text(long n) {
    std::string s = cardinal_text(n);
    if (n <= 0 || n >= 1000000) return s;
    static const struct {
        const char* cardinal;
        const char* ordinal;
    } k[] = {{"one", "first"},     {"two", "second"},    {"three", "third"},   {"five", "fifth"},
             {"eight", "eighth"},  {"nine", "ninth"},    {"twelve", "twelfth"}};
    for (const auto& e : k) {
        size_t n1 = std::char_traits<char>::length(e.cardinal);
        if (s.size() >= n1 && s.compare(s.size() - n1, n1, e.cardinal) == 0) {
            bool whole = s.size() == n1 || s[s.size() - n1 - 1] == ' ' || s[s.size() - n1 - 1] == '-';
            if (whole) return first_capital(s.substr(0, s.size() - n1) + e.ordinal);
        }
    }
    if (!s.empty() && s.back() == 'y') return first_capital(s.substr(0, s.size() - 1) + "ieth");
    return first_capital(s + "th");
}

std::string ordinal(long n) {
    long t = n % 100;
    const char* suffix = (t >= 11 && t <= 13) ? "th" : n % 10 == 1 ? "st" : n % 10 == 2 ? "nd" : n % 10 == 3 ? "rd" : "th";
    return decimal(n) + suffix;
}

std::string chicago(long n) {
    static const char* const marks[] = {"*", "†", "‡", "§"};
    if (n <= 0) return decimal(n);
    long times = (n - 1) / 4 + 1;
    if (times > 64) return decimal(n);
    std::string s;
    for (long i = 0; i < times; ++i) s += marks[(n - 1) % 4];
    return s;
}

// "001, 002, 003, ...": the width of the first number, zero-padded.
std::string custom_format(long n, std::string_view pattern) {
    size_t zeros = 0;
    while (zeros < pattern.size() && pattern[zeros] == '0') ++zeros;
    size_t digits = zeros;
    while (digits < pattern.size() && pattern[digits] >= '0' && pattern[digits] <= '9') ++digits;
    if (zeros == 0 || digits > 10) return decimal(n);
    std::string s = decimal(n);
    while (s.size() < digits) s.insert(s.begin(), '0');
    return s;
}

const char* const k_upper = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
const char* const k_lower = "abcdefghijklmnopqrstuvwxyz";
const char* const k_aiueo_full = "アイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘホマミムメモヤユヨラリルレロワヲン";
const char* const k_aiueo_half = "ｱｲｳｴｵｶｷｸｹｺｻｼｽｾｿﾀﾁﾂﾃﾄﾅﾆﾇﾈﾉﾊﾋﾌﾍﾎﾏﾐﾑﾒﾓﾔﾕﾖﾗﾘﾙﾚﾛﾜｦﾝ";
const char* const k_iroha_full = "イロハニホヘトチリヌルヲワカヨタレソツネナラムウヰノオクヤマケフコエテアサキユメミシヱヒモセス";
// Half-width katakana have no ヰ and ヱ: the full-width ones stand in.
const char* const k_iroha_half = "ｲﾛﾊﾆﾎﾍﾄﾁﾘﾇﾙｦﾜｶﾖﾀﾚｿﾂﾈﾅﾗﾑｳヰﾉｵｸﾔﾏｹﾌｺｴﾃｱｻｷﾕﾒﾐｼヱﾋﾓｾｽ";
const char* const k_ganada = "가나다라마바사아자차카타파하";
const char* const k_chosung = "ㄱㄴㄷㄹㅁㅂㅅㅇㅈㅊㅋㅌㅍㅎ";
const char* const k_russian_upper = "АБВГДЕЖЗИКЛМНОПРСТУФХЦЧШЩЭЮЯ";
const char* const k_russian_lower = "абвгдежзиклмнопрстуфхцчшщэюя";
const char* const k_ideograph_digits = "〇一二三四五六七八九";
const char* const k_traditional = "甲乙丙丁戊己庚辛壬癸";
const char* const k_zodiac = "子丑寅卯辰巳午未申酉戌亥";

// Each table split into its characters once (thread-safe).
const std::vector<std::string>& alphabet(const char* chars) {
    static const char* const tables[] = {k_upper,       k_lower,       k_aiueo_full,   k_aiueo_half,
                                         k_iroha_full,  k_iroha_half,  k_ganada,       k_chosung,
                                         k_russian_upper, k_russian_lower, k_ideograph_digits, k_traditional,
                                         k_zodiac};
    static const std::vector<std::vector<std::string>> split = [] {
        std::vector<std::vector<std::string>> v;
        for (const char* t : tables) v.push_back(characters(t));
        return v;
    }();
    for (size_t i = 0; i < sizeof tables / sizeof tables[0]; ++i)
        if (tables[i] == chars) return split[i];
    static const std::vector<std::string> none;
    return none;
}

// Within the table, else decimal.
std::string one_of(long n, const char* chars) {
    const std::vector<std::string>& a = alphabet(chars);
    if (n < 1 || n > static_cast<long>(a.size())) return decimal(n);
    return a[static_cast<size_t>(n - 1)];
}

}  // namespace

std::string ofx_format_number(std::string_view f, long n, std::string_view custom) {
    if (f == "none" || f == "bullet") return std::string();
    if (f == "decimalZero") return n >= 0 && n < 10 ? "0" + decimal(n) : decimal(n);
    if (f == "upperRoman") return roman(n, true);
    if (f == "lowerRoman") return roman(n, false);
    if (f == "upperLetter") return repeated(n, alphabet(k_upper));
    if (f == "lowerLetter") return repeated(n, alphabet(k_lower));
    if (f == "ordinal") return ordinal(n);
    if (f == "cardinalText") return first_capital(cardinal_text(n));
    if (f == "ordinalText") return ordinal_text(n);
    if (f == "hex") {
        if (n < 0) return decimal(n);
        char buf[32];
        std::snprintf(buf, sizeof buf, "%lX", static_cast<unsigned long>(n));
        return buf;
    }
    if (f == "chicago") return chicago(n);
    if (f == "numberInDash") return "- " + decimal(n) + " -";
    if (f == "decimalFullWidth" || f == "decimalFullWidth2") return full_width(n);
    if (f == "decimalEnclosedCircle" || f == "decimalEnclosedCircleChinese") return enclosed(n, 0x2460, 20);
    if (f == "decimalEnclosedFullstop") return enclosed(n, 0x2488, 20);
    if (f == "decimalEnclosedParen") return enclosed(n, 0x2474, 20);
    if (f == "ideographEnclosedCircle") return enclosed(n, 0x3220, 10);
    if (f == "ideographDigital" || f == "japaneseDigitalTenThousand" || f == "taiwaneseDigital")
        return digits_as(n, alphabet(k_ideograph_digits));
    if (f == "japaneseCounting") return counting(n, k_japanese);
    if (f == "japaneseLegal") return counting(n, k_japanese_legal);
    if (f == "chineseCounting" || f == "chineseCountingThousand") return counting(n, k_chinese);
    if (f == "chineseLegalSimplified") return counting(n, k_chinese_legal);
    if (f == "taiwaneseCounting" || f == "taiwaneseCountingThousand") return counting(n, k_taiwanese);
    if (f == "ideographLegalTraditional") return counting(n, k_traditional_legal);
    if (f == "ideographTraditional") return one_of(n, k_traditional);
    if (f == "ideographZodiac") return one_of(n, k_zodiac);
    if (f == "ideographZodiacTraditional") {
        if (n < 1) return decimal(n);
        const std::vector<std::string>& stems = alphabet(k_traditional);
        const std::vector<std::string>& branches = alphabet(k_zodiac);
        return stems[static_cast<size_t>((n - 1) % 10)] + branches[static_cast<size_t>((n - 1) % 12)];
    }
    if (f == "aiueo") return repeated(n, alphabet(k_aiueo_half));
    if (f == "aiueoFullWidth") return repeated(n, alphabet(k_aiueo_full));
    if (f == "iroha") return repeated(n, alphabet(k_iroha_half));
    if (f == "irohaFullWidth") return repeated(n, alphabet(k_iroha_full));
    if (f == "ganada") return repeated(n, alphabet(k_ganada));
    if (f == "chosung") return repeated(n, alphabet(k_chosung));
    if (f == "russianUpper") return repeated(n, alphabet(k_russian_upper));
    if (f == "russianLower") return repeated(n, alphabet(k_russian_lower));
    if (f == "custom") return custom_format(n, custom);
    return decimal(n);
}

std::string ofx_symbol_text(const std::string& utf8) {
    // The characters Word's bullet lists use from Symbol and Wingdings.
    static const struct {
        uint32_t from;
        uint32_t to;
    } k[] = {
        {0xF0B7, 0x2022},  // Symbol bullet
        {0xF095, 0x2022},  // OpenSymbol (StarBats) bullet
        {0xF0A7, 0x25AA},  // Wingdings small square
        {0xF06E, 0x25A0},  // Wingdings black square
        {0xF06C, 0x25CF},  // Wingdings black circle
        {0xF075, 0x25C6},  // Wingdings black diamond
        {0xF076, 0x2756},  // Wingdings four diamonds
        {0xF0D8, 0x27A2},  // Wingdings arrowhead
        {0xF0E8, 0x2794},  // Wingdings right arrow
        {0xF0FC, 0x2714},  // Wingdings check mark
        {0xF0FE, 0x2611},  // Wingdings checked box
        {0xF0A8, 0x25FB},  // Wingdings white square
        {0xF071, 0x2751},  // Wingdings shadowed square
        {0xF0B2, 0x25C7},  // Wingdings white diamond
    };
    std::string out;
    for (size_t i = 0; i < utf8.size();) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c == 0xEF && i + 2 < utf8.size()) {
            uint32_t cp = ((c & 0x0Fu) << 12) | ((static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu) << 6) |
                          (static_cast<unsigned char>(utf8[i + 2]) & 0x3Fu);
            if (cp >= 0xF020 && cp <= 0xF0FF) {
                uint32_t to = 0;
                for (const auto& e : k)
                    if (e.from == cp) to = e.to;
                if (to != 0) {
                    plat_append_utf8(out, to);
                    i += 3;
                    continue;
                }
            }
        }
        out += utf8[i++];
    }
    return out;
}
