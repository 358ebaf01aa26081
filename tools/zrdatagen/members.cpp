// The stock archive's members, in archive order. New members are appended here: a name (lower
// case, '/'-separated, see datagen_check_name) and the function that makes its bytes.
#include "tools/zrdatagen/datagen.h"

static std::string datagen_about_member() {
    return datagen_gzip(datagen_about_text());
}

const datagen_member datagen_members[] = {
    {"about.txt.gz", datagen_about_member},
};

const int datagen_member_count = (int)(sizeof datagen_members / sizeof datagen_members[0]);
