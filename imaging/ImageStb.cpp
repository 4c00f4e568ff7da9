// The one translation unit that compiles the stb libraries the imaging layer
// uses: stb_dxt for block encoding, stb_image_resize for filtering.
#include <string.h> // stb_dxt's implementation calls memcpy without including it

#define STB_DXT_IMPLEMENTATION
#include <stb_dxt.h>

#define STB_IMAGE_RESIZE_IMPLEMENTATION
#include <stb_image_resize.h>
