// The model cache. Models are loaded by the model reader; the cache starts empty.
#include "gfx/model.h"

void model_purge(int all) {
    (void)all;
}
