// A check of what the window manager shows, read from its screen objects: every shown text fits its room
// (or is shortened there with an ellipsis, a path by whole folders of its middle with its last folder whole,
// and only where its row has no room for it), stays inside its parents and the window, keeps its margin
// from their rounded corners, overlaps no other shown text or control of its layer, and contrasts with
// what lies under it (a disabled text by a floor of its own); a control without text shows on its ground.
// Texts are measured with the font module's text_width (FreeType's glyph advances summed), below the
// widgets whose layout is under test, and placed here by the objects' own rectangles, gaps and alignment
// flags: nothing is taken from the widgets' drawing.
#pragma once
#include <string>
#include <vector>

// One thing found wrong: the object (its kind, text and the dialog it sits in) and what is wrong.
struct SCREEN_FAULT {
  std::string object;
  std::string problem;
};

// The least difference of luma (0.299 R + 0.587 G + 0.114 B, 0 to 255) between a text and its ground.
const int SCREEN_CHECK_LEAST_CONTRAST = 64;
// The least spread of luma where a disabled text is drawn (its lightest and darkest pixels, the ground's
// among them): greyed or engraved on purpose, it still reads.
const int SCREEN_CHECK_LEAST_DISABLED_CONTRAST = 48;

// Checks the current area's objects and the visible top-level objects, as last drawn (a pass must have
// drawn the screen since anything moved). The colour under a text is the commonest screen colour in the
// box where the text is drawn; texts of a layer covered there by a higher one are not judged for it.
std::vector<SCREEN_FAULT> check_screen();
