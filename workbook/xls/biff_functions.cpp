// The built-in function table of parsed formulas: each function's name by
// its number, and its argument count where the function takes a fixed
// number (the tokens then do not say how many).  Numbers missing here are
// unused or belong to macro sheets only.
#include "biff_formula.h"

namespace xls {

namespace {

struct function_entry {
    unsigned short index;
    signed char args;  // -1: a varying number, given by the token
    const char* name;
};

constexpr signed char V = -1;

const function_entry kFunctions[] = {
    {0, V, "COUNT"}, {1, V, "IF"}, {2, 1, "ISNA"}, {3, 1, "ISERROR"}, {4, V, "SUM"},
    {5, V, "AVERAGE"}, {6, V, "MIN"}, {7, V, "MAX"}, {8, V, "ROW"}, {9, V, "COLUMN"},
    {10, 0, "NA"}, {11, V, "NPV"}, {12, V, "STDEV"}, {13, V, "DOLLAR"}, {14, V, "FIXED"},
    {15, 1, "SIN"}, {16, 1, "COS"}, {17, 1, "TAN"}, {18, 1, "ATAN"}, {19, 0, "PI"},
    {20, 1, "SQRT"}, {21, 1, "EXP"}, {22, 1, "LN"}, {23, 1, "LOG10"}, {24, 1, "ABS"},
    {25, 1, "INT"}, {26, 1, "SIGN"}, {27, 2, "ROUND"}, {28, V, "LOOKUP"}, {29, V, "INDEX"},
    {30, 2, "REPT"}, {31, 3, "MID"}, {32, 1, "LEN"}, {33, 1, "VALUE"}, {34, 0, "TRUE"},
    {35, 0, "FALSE"}, {36, V, "AND"}, {37, V, "OR"}, {38, 1, "NOT"}, {39, 2, "MOD"},
    {40, 3, "DCOUNT"}, {41, 3, "DSUM"}, {42, 3, "DAVERAGE"}, {43, 3, "DMIN"}, {44, 3, "DMAX"},
    {45, 3, "DSTDEV"}, {46, V, "VAR"}, {47, 3, "DVAR"}, {48, 2, "TEXT"}, {49, V, "LINEST"},
    {50, V, "TREND"}, {51, V, "LOGEST"}, {52, V, "GROWTH"}, {53, V, "GOTO"}, {54, V, "HALT"},
    {55, V, "RETURN"}, {56, V, "PV"}, {57, V, "FV"}, {58, V, "NPER"}, {59, V, "PMT"},
    {60, V, "RATE"}, {61, 3, "MIRR"}, {62, V, "IRR"}, {63, 0, "RAND"}, {64, V, "MATCH"},
    {65, 3, "DATE"}, {66, 3, "TIME"}, {67, 1, "DAY"}, {68, 1, "MONTH"}, {69, 1, "YEAR"},
    {70, V, "WEEKDAY"}, {71, 1, "HOUR"}, {72, 1, "MINUTE"}, {73, 1, "SECOND"}, {74, 0, "NOW"},
    {75, 1, "AREAS"}, {76, 1, "ROWS"}, {77, 1, "COLUMNS"}, {78, V, "OFFSET"}, {79, 2, "ABSREF"},
    {80, 2, "RELREF"}, {81, V, "ARGUMENT"}, {82, V, "SEARCH"}, {83, 1, "TRANSPOSE"},
    {84, V, "ERROR"}, {85, 0, "STEP"}, {86, 1, "TYPE"}, {87, V, "ECHO"}, {88, V, "SET.NAME"},
    {89, 0, "CALLER"}, {90, 1, "DEREF"}, {91, V, "WINDOWS"}, {92, V, "SERIES"},
    {93, V, "DOCUMENTS"}, {94, 0, "ACTIVE.CELL"}, {95, 0, "SELECTION"}, {96, V, "RESULT"},
    {97, 2, "ATAN2"}, {98, 1, "ASIN"}, {99, 1, "ACOS"}, {100, V, "CHOOSE"}, {101, V, "HLOOKUP"},
    {102, V, "VLOOKUP"}, {103, V, "LINKS"}, {104, V, "INPUT"}, {105, 1, "ISREF"},
    {106, 1, "GET.FORMULA"}, {107, V, "GET.NAME"}, {108, 2, "SET.VALUE"}, {109, V, "LOG"},
    {110, V, "EXEC"}, {111, 1, "CHAR"}, {112, 1, "LOWER"}, {113, 1, "UPPER"}, {114, 1, "PROPER"},
    {115, V, "LEFT"}, {116, V, "RIGHT"}, {117, 2, "EXACT"}, {118, 1, "TRIM"}, {119, 4, "REPLACE"},
    {120, V, "SUBSTITUTE"}, {121, 1, "CODE"}, {122, V, "NAMES"}, {123, V, "DIRECTORY"},
    {124, V, "FIND"}, {125, V, "CELL"}, {126, 1, "ISERR"}, {127, 1, "ISTEXT"}, {128, 1, "ISNUMBER"},
    {129, 1, "ISBLANK"}, {130, 1, "T"}, {131, 1, "N"}, {132, V, "FOPEN"}, {133, 1, "FCLOSE"},
    {134, 1, "FSIZE"}, {135, 1, "FREADLN"}, {136, 2, "FREAD"}, {137, 2, "FWRITELN"},
    {138, 2, "FWRITE"}, {139, V, "FPOS"}, {140, 1, "DATEVALUE"}, {141, 1, "TIMEVALUE"},
    {142, 3, "SLN"}, {143, 4, "SYD"}, {144, V, "DDB"}, {145, V, "GET.DEF"}, {146, V, "REFTEXT"},
    {147, V, "TEXTREF"}, {148, V, "INDIRECT"}, {149, V, "REGISTER"}, {150, V, "CALL"},
    {151, V, "ADD.BAR"}, {152, V, "ADD.MENU"}, {153, V, "ADD.COMMAND"}, {154, V, "ENABLE.COMMAND"},
    {155, V, "CHECK.COMMAND"}, {156, V, "RENAME.COMMAND"}, {157, V, "SHOW.BAR"},
    {158, V, "DELETE.MENU"}, {159, V, "DELETE.COMMAND"}, {160, V, "GET.CHART.ITEM"},
    {161, V, "DIALOG.BOX"}, {162, 1, "CLEAN"}, {163, 1, "MDETERM"}, {164, 1, "MINVERSE"},
    {165, 2, "MMULT"}, {166, V, "FILES"}, {167, V, "IPMT"}, {168, V, "PPMT"}, {169, V, "COUNTA"},
    {170, V, "CANCEL.KEY"}, {171, V, "FOR"}, {172, 1, "WHILE"}, {173, 0, "BREAK"}, {174, 0, "NEXT"},
    {175, 2, "INITIATE"}, {176, 2, "REQUEST"}, {177, 3, "POKE"}, {178, 2, "EXECUTE"},
    {179, 1, "TERMINATE"}, {180, V, "RESTART"}, {181, V, "HELP"}, {182, V, "GET.BAR"},
    {183, V, "PRODUCT"}, {184, 1, "FACT"}, {185, V, "GET.CELL"}, {186, 1, "GET.WORKSPACE"},
    {187, V, "GET.WINDOW"}, {188, V, "GET.DOCUMENT"}, {189, 3, "DPRODUCT"}, {190, 1, "ISNONTEXT"},
    {191, V, "GET.NOTE"}, {192, V, "NOTE"}, {193, V, "STDEVP"}, {194, V, "VARP"}, {195, 3, "DSTDEVP"},
    {196, 3, "DVARP"}, {197, V, "TRUNC"}, {198, 1, "ISLOGICAL"}, {199, 3, "DCOUNTA"},
    {200, 1, "DELETE.BAR"}, {201, 1, "UNREGISTER"}, {204, V, "USDOLLAR"}, {205, V, "FINDB"},
    {206, V, "SEARCHB"}, {207, 4, "REPLACEB"}, {208, V, "LEFTB"}, {209, V, "RIGHTB"},
    {210, 3, "MIDB"}, {211, 1, "LENB"}, {212, 2, "ROUNDUP"}, {213, 2, "ROUNDDOWN"}, {214, 1, "ASC"},
    {215, 1, "DBCS"}, {216, V, "RANK"}, {219, V, "ADDRESS"}, {220, V, "DAYS360"}, {221, 0, "TODAY"},
    {222, V, "VDB"}, {223, 0, "ELSE"}, {224, 1, "ELSE.IF"}, {225, 0, "END.IF"}, {226, V, "FOR.CELL"},
    {227, V, "MEDIAN"}, {228, V, "SUMPRODUCT"}, {229, 1, "SINH"}, {230, 1, "COSH"}, {231, 1, "TANH"},
    {232, 1, "ASINH"}, {233, 1, "ACOSH"}, {234, 1, "ATANH"}, {235, 3, "DGET"},
    {236, V, "CREATE.OBJECT"}, {237, V, "VOLATILE"}, {238, 0, "LAST.ERROR"}, {239, V, "CUSTOM.UNDO"},
    {240, V, "CUSTOM.REPEAT"}, {241, V, "FORMULA.CONVERT"}, {242, V, "GET.LINK.INFO"},
    {243, V, "TEXT.BOX"}, {244, 1, "INFO"}, {245, 0, "GROUP"}, {246, V, "GET.OBJECT"}, {247, V, "DB"},
    {248, V, "PAUSE"}, {251, V, "RESUME"}, {252, 2, "FREQUENCY"}, {253, V, "ADD.TOOLBAR"},
    {254, 1, "DELETE.TOOLBAR"}, {256, 1, "RESET.TOOLBAR"}, {257, 1, "EVALUATE"},
    {258, V, "GET.TOOLBAR"}, {259, V, "GET.TOOL"}, {260, V, "SPELLING.CHECK"}, {261, 1, "ERROR.TYPE"},
    {262, V, "APP.TITLE"}, {263, V, "WINDOW.TITLE"}, {264, V, "SAVE.TOOLBAR"}, {265, 3, "ENABLE.TOOL"},
    {266, 3, "PRESS.TOOL"}, {267, V, "REGISTER.ID"}, {268, V, "GET.WORKBOOK"}, {269, V, "AVEDEV"},
    {270, V, "BETADIST"}, {271, 1, "GAMMALN"}, {272, V, "BETAINV"}, {273, 4, "BINOMDIST"},
    {274, 2, "CHIDIST"}, {275, 2, "CHIINV"}, {276, 2, "COMBIN"}, {277, 3, "CONFIDENCE"},
    {278, 3, "CRITBINOM"}, {279, 1, "EVEN"}, {280, 3, "EXPONDIST"}, {281, 3, "FDIST"},
    {282, 3, "FINV"}, {283, 1, "FISHER"}, {284, 1, "FISHERINV"}, {285, 2, "FLOOR"},
    {286, 4, "GAMMADIST"}, {287, 3, "GAMMAINV"}, {288, 2, "CEILING"}, {289, 4, "HYPGEOMDIST"},
    {290, 3, "LOGNORMDIST"}, {291, 3, "LOGINV"}, {292, 3, "NEGBINOMDIST"}, {293, 4, "NORMDIST"},
    {294, 1, "NORMSDIST"}, {295, 3, "NORMINV"}, {296, 1, "NORMSINV"}, {297, 3, "STANDARDIZE"},
    {298, 1, "ODD"}, {299, 2, "PERMUT"}, {300, 3, "POISSON"}, {301, 3, "TDIST"}, {302, 4, "WEIBULL"},
    {303, 2, "SUMXMY2"}, {304, 2, "SUMX2MY2"}, {305, 2, "SUMX2PY2"}, {306, 2, "CHITEST"},
    {307, 2, "CORREL"}, {308, 2, "COVAR"}, {309, 3, "FORECAST"}, {310, 2, "FTEST"},
    {311, 2, "INTERCEPT"}, {312, 2, "PEARSON"}, {313, 2, "RSQ"}, {314, 2, "STEYX"}, {315, 2, "SLOPE"},
    {316, 4, "TTEST"}, {317, V, "PROB"}, {318, V, "DEVSQ"}, {319, V, "GEOMEAN"}, {320, V, "HARMEAN"},
    {321, V, "SUMSQ"}, {322, V, "KURT"}, {323, V, "SKEW"}, {324, V, "ZTEST"}, {325, 2, "LARGE"},
    {326, 2, "SMALL"}, {327, 2, "QUARTILE"}, {328, 2, "PERCENTILE"}, {329, V, "PERCENTRANK"},
    {330, V, "MODE"}, {331, 2, "TRIMMEAN"}, {332, 2, "TINV"}, {334, V, "MOVIE.COMMAND"},
    {335, V, "GET.MOVIE"}, {336, V, "CONCATENATE"}, {337, 2, "POWER"}, {338, V, "PIVOT.ADD.DATA"},
    {339, V, "GET.PIVOT.TABLE"}, {340, V, "GET.PIVOT.FIELD"}, {341, V, "GET.PIVOT.ITEM"},
    {342, 1, "RADIANS"}, {343, 1, "DEGREES"}, {344, V, "SUBTOTAL"}, {345, V, "SUMIF"},
    {346, 2, "COUNTIF"}, {347, 1, "COUNTBLANK"}, {348, V, "SCENARIO.GET"},
    {349, 1, "OPTIONS.LISTS.GET"}, {350, 4, "ISPMT"}, {351, 3, "DATEDIF"}, {352, 1, "DATESTRING"},
    {353, 2, "NUMBERSTRING"}, {354, V, "ROMAN"}, {355, V, "OPEN.DIALOG"}, {356, V, "SAVE.DIALOG"},
    {357, V, "VIEW.GET"}, {358, V, "GETPIVOTDATA"}, {359, V, "HYPERLINK"}, {360, 1, "PHONETIC"},
    {361, V, "AVERAGEA"}, {362, V, "MAXA"}, {363, V, "MINA"}, {364, V, "STDEVPA"}, {365, V, "VARPA"},
    {366, V, "STDEVA"}, {367, V, "VARA"}, {368, 1, "BAHTTEXT"}, {369, 1, "THAIDAYOFWEEK"},
    {370, 1, "THAIDIGIT"}, {371, 1, "THAIMONTHOFYEAR"}, {372, 1, "THAINUMSOUND"},
    {373, 1, "THAINUMSTRING"}, {374, 1, "THAISTRINGLENGTH"}, {375, 1, "ISTHAIDIGIT"},
    {376, 1, "ROUNDBAHTDOWN"}, {377, 1, "ROUNDBAHTUP"}, {378, 1, "THAIYEAR"}, {379, V, "RTD"},
};

}  // namespace

const char* builtin_function(unsigned index, int* args) {
    // The table is in ascending order: a binary search.
    size_t lo = 0, hi = sizeof kFunctions / sizeof kFunctions[0];
    while (lo < hi) {
        size_t mid = (lo + hi) / 2;
        if (kFunctions[mid].index < index) lo = mid + 1;
        else hi = mid;
    }
    if (lo < sizeof kFunctions / sizeof kFunctions[0] && kFunctions[lo].index == index) {
        if (args) *args = kFunctions[lo].args;
        return kFunctions[lo].name;
    }
    return nullptr;
}

}  // namespace xls
