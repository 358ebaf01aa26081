// The built-in bike models' names, in table order.
#include "bike/bike_models.h"

#include <cstring>

const char *bike_model_names[BIKE_MODEL_COUNT] = {
    "cr125",          "crf250(2007)",  "crf250(2008)",  "crf250(2009)",  "crf250(2013)",
    "crf250(2016)",   "crf250(2017)",  "crf250(2018)",  "cr250(2007)",   "crf450(2011)",
    "crf450(2013)",   "crf450(2016)",  "crf450(2017)",  "crf450(2018)",  "kx125",
    "kx250f(2007)",   "kx250f(2008)",  "kx250f(2009)",  "kx250f(2013)",  "kx250f(2016)",
    "kx250f(2017)",   "kx250f(2018)",  "kx250(2006)",   "kx450f(2011)",  "kx450f(2013)",
    "kx450f(2016)",   "kx450f(2017)",  "kx450f(2018)",  "rm125",         "rmz250(2007)",
    "rmz250(2008)",   "rmz250(2009)",  "rmz250(2013)",  "rmz250(2016)",  "rmz250(2017)",
    "rmz250(2018)",   "rm250(2008)",   "rmz450(2011)",  "rmz450(2013)",  "rmz450(2016)",
    "rmz450(2017)",   "rmz450(2018)",  "yz125",         "yz250f(2007)",  "yz250f_se(2006)",
    "yz250f(2008)",   "yz250f(2009)",  "yz250f(2013)",  "yz250f(2016)",  "yz250f(2017)",
    "yz250f(2018)",   "yz250(2012)",   "yz450f(2011)",  "yz450f(2013)",  "yz450f(2016)",
    "yz450f(2017)",   "yz450f(2018)",  "125sx",         "250sxf(2009)",  "250sxf(2013)",
    "250sxf(2016)",   "250sxf(2017)",  "250sxf(2018)",  "250sx(2012)",   "350sxf(2011)",
    "350sxf(2013)",   "350sxf(2017)",  "450sxf(2011)",  "450sxf(2013)",  "450sxf(2016)",
    "450sxf(2017)",   "450sxf(2018)",  "fc250(2017)",   "fc250(2018)",   "fc450(2017)",
    "fc450(2018)",    "rs50cr",        "rs50kx",        "rs50rm",        "rs50yz",
};

const char *bike_model_alias(const char *name) {
    static const char *const aliases[][2] = {
        {"crf250", "crf250(2008)"},
        {"kx250f", "kx250f(2008)"},
        {"rmz250", "rmz250(2008)"},
        {"yz250f", "yz250f(2008)"},
    };
    if (!name) return name;
    for (const auto &a : aliases)
        if (strcmp(name, a[0]) == 0) return a[1];
    return name;
}
