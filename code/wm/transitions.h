// Screen transitions between pages: fades to and from black or grey, a cross fade, and slides that
// cover, uncover or push the old picture. Each runs to its end inside one update, presenting its own
// frames, and ends on exactly the end picture; those that show a new page apply the pending pages.
#pragma once
#include "types.h"

class WM_PAGE_MANAGER;

// The transition rectangle (left, top, right, bottom); any -1 = the whole screen image.
extern INT_S16 transition_rectangle[4];
// Upper bound of the frames of one transition (the clock ends it long before on a real machine): a
// clock that does not move still ends every transition, on its end picture.
extern INT_U32 transition_frame_limit;
// Frames drawn by the last transition (for tests and benchmarks).
extern INT_U32 transition_frames_drawn;

void fade_to_black(WM_PAGE_MANAGER* manager);
void fade_to_grey(WM_PAGE_MANAGER* manager);
void fade_from_black(WM_PAGE_MANAGER* manager, INT_S32 area);
void fade_from_grey(WM_PAGE_MANAGER* manager, INT_S32 area);
void black_transition(WM_PAGE_MANAGER* manager, INT_S32 area);
void grey_transition(WM_PAGE_MANAGER* manager, INT_S32 area);
void cross_fade(WM_PAGE_MANAGER* manager, INT_S32 area);
// direction 0 random, 1 left, 2 right, 3 up, 4 down; kind 0 cover, 1 uncover, 2 push.
void slide_transition(WM_PAGE_MANAGER* manager, INT_S32 area, INT_U8 direction, INT_U8 kind);
