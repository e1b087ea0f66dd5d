#include "wait_girl_frames.h"

// Placeholder: six blank 106 x 76 frames until the pixel art is generated.
#define BLANK_FRAME {106, 0, 76, 0, 0xFF, 0x0F}
const std::uint8_t wait_girl_frame_0[] = BLANK_FRAME;
const std::uint8_t wait_girl_frame_1[] = BLANK_FRAME;
const std::uint8_t wait_girl_frame_2[] = BLANK_FRAME;
const std::uint8_t wait_girl_frame_3[] = BLANK_FRAME;
const std::uint8_t wait_girl_frame_4[] = BLANK_FRAME;
const std::uint8_t wait_girl_frame_5[] = BLANK_FRAME;

const std::uint8_t* const wait_girl_frames[wait_girl_frame_count] = {
    wait_girl_frame_0, wait_girl_frame_1, wait_girl_frame_2,
    wait_girl_frame_3, wait_girl_frame_4, wait_girl_frame_5};
