// Tests of the program's run: the fixed start-up order (debug streams, the window manager's statics,
// the application's statics, the host and the font system, then the library counts as started), the
// application's main and frame loop, and the shut-down in the reverse order.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "click_sound.h"
#include "folder.h"
#include "font.h"
#include "image_cache.h"
#include "program.h"
#include "sound.h"

namespace {

std::vector<std::string> steps;  // what the application saw, in order
std::vector<std::string> main_arguments;
int update_calls = 0;
int client_events = 0;

// What the library's state looks like at one step of the application.
std::string state(const char* step) {
  std::string text = step;
  text += click_sound ? " sound" : " no-sound";
  text += font_system_started() ? " fonts" : " no-fonts";
  text += library_started() ? " started" : " not-started";
  return text;
}

struct COUNTING_CLIENT : EVENT_CLIENT {
  INT_S32 handle_event(EVENT*) override {
    client_events++;
    return 0;
  }
};

EVENT* new_event(INT_U32 code) {
  EVENT* event = (EVENT*)std::malloc(sizeof(EVENT));
  event->code = code;
  event->data = nullptr;
  event->release = nullptr;
  return event;
}

void test_statics(bool start) { steps.push_back(state(start ? "statics-built" : "statics-destroyed")); }

void test_main(INT_S16 argc, char** argv) {
  steps.push_back(state("main"));
  // The click sound exists, empty, before any window; no sound was made, so the sound device is closed.
  if (click_sound && click_sound->loaded) steps.push_back("click sound loaded");
  if (sound_system_running()) steps.push_back("sound system running");
  main_arguments.clear();
  for (INT_S16 i = 0; i < argc; i++) main_arguments.push_back(argv[i]);
  post_event(new_event(7), 1);  // waits for the first drain of the queue
}

INT_U8 test_update() {
  update_calls++;
  return 0;  // the first update ends the loop
}

void test_exit() { steps.push_back(state("exit")); }
void test_hook() { steps.push_back(state("exit-hook")); }

}  // namespace

TEST(Program, StartsAndStopsEverySubsystemInTheFixedOrder) {
  steps.clear();
  update_calls = client_events = 0;
  exit_hook = test_hook;
  disable_font_preload();
  COUNTING_CLIENT client;
  INT_S32 argc = 0;
  char** argv = split_command_line("one \"two three\"", "/prog/installer", &argc);
  APPLICATION_ENTRIES entries = {test_main, test_update, test_exit, test_statics};
  EXPECT_EQ(run_program(argc, argv, &entries), 0);

  std::vector<std::string> expected = {
      "statics-built sound no-fonts not-started",  // after the window manager's statics, before the fonts
      "main sound fonts started",
      "exit-hook sound fonts started",
      "exit sound fonts started",
      "statics-destroyed sound no-fonts not-started",  // before the window manager's statics go
  };
  EXPECT_EQ(steps, expected);
  std::vector<std::string> arguments = {"/prog/installer", "one", "two three"};
  EXPECT_EQ(main_arguments, arguments);
  // The first update ended the loop: the event posted by main was never drained.
  EXPECT_EQ(update_calls, 1);
  EXPECT_EQ(client_events, 0);
  EXPECT_EQ(queued_event_count(), 1);
  process_event_queue();
  EXPECT_EQ(client_events, 1);
  EXPECT_EQ(current_pointer_shape, -1);
  EXPECT_EQ(click_sound, nullptr);  // gone with the window manager's statics
  EXPECT_EQ(image_cache->entries.count, 0);
  exit_hook = nullptr;
}

TEST(Program, OneShotEndShutsDownWithoutTheExitEntry) {
  APPLICATION_ENTRIES entries = {nullptr, nullptr, test_exit, nullptr};
  auto statics = [](bool start) {
    if (!start) {
      std::fprintf(stderr, "statics destroyed with%s sound\n", click_sound ? "" : "out");
      std::fflush(stderr);
    }
  };
  entries.statics = statics;
  disable_font_preload();
  EXPECT_EXIT(
      {
        start_program(&entries);
        end_program(1);
      },
      ::testing::ExitedWithCode(1), "^statics destroyed with sound\n$");
}
