// Display modes, and the window with its OpenGL context under the test X server.
#include <gtest/gtest.h>
#include <SDL_opengl.h>

#include <csignal>
#include <cstdlib>
#include <sstream>
#include <thread>
#include <vector>

#include "platform/plyx_sdl.h"
#include "tests/support/test_support.h"

TEST(platform_modes, ChooseMode) {
    display_mode modes[] = {{800, 600, 32}, {1024, 768, 32}, {640, 480, 32}, {0, 0, 0}};
    display_mode tie[] = {{900, 700, 32}, {1000, 600, 32}, {0, 0, 0}};
    struct {
        const display_mode *list;
        int w, h, want_w, want_h;
    } cases[] = {
        {modes, 800, 600, 800, 600},    {modes, 900, 600, 1024, 768},
        {modes, 4000, 3000, 1920, 1080}, {modes, 0, 0, 1920, 1080},
        {modes, 640, 0, 1920, 1080},    {tie, 850, 550, 900, 700},
    };
    for (auto &c : cases) {
        int w, h;
        plyx_choose_mode(c.list, 1920, 1080, c.w, c.h, &w, &h);
        EXPECT_EQ(w, c.want_w) << c.w << "x" << c.h;
        EXPECT_EQ(h, c.want_h) << c.w << "x" << c.h;
    }
}

TEST(platform_modes, BuildList) {
    temp_dir dir;
    std::string log = dir.file("log.txt");
    setenv("PLYX_LOGFILE", log.c_str(), 1);
    mode_report desktop = {1280, 1024, 24, 60};
    mode_report reported[] = {
        {640, 480, 24, 60}, {640, 480, 24, 75}, {800, 600, 4, 60}, {1024, 768, 32, 60},
    };
    display_mode *list = plyx_build_mode_list(&desktop, reported, 4);
    ASSERT_NE(list, nullptr);
    // Desktop first, the duplicate and the odd depth left out, and the end row: it all fits
    // although the desktop is not among the reported modes.
    display_mode want[] = {{1280, 1024, 24}, {640, 480, 24}, {1024, 768, 32}, {0, 0, 0}};
    for (int i = 0; i < 4; i++) {
        EXPECT_EQ(list[i].width, want[i].width) << i;
        EXPECT_EQ(list[i].height, want[i].height) << i;
        EXPECT_EQ(list[i].bits, want[i].bits) << i;
    }
    free(list);
    // Every reported mode distinct and listed, the desktop not among them: the desktop row, the
    // reported rows and the end row fill count + 2 rows exactly.
    mode_report distinct[] = {{640, 480, 24, 60}, {800, 600, 16, 60}, {1024, 768, 32, 60}};
    list = plyx_build_mode_list(&desktop, distinct, 3);
    ASSERT_NE(list, nullptr);
    display_mode full[] = {{1280, 1024, 24}, {640, 480, 24}, {800, 600, 16}, {1024, 768, 32}, {0, 0, 0}};
    for (int i = 0; i < 5; i++) {
        EXPECT_EQ(list[i].width, full[i].width) << i;
        EXPECT_EQ(list[i].height, full[i].height) << i;
        EXPECT_EQ(list[i].bits, full[i].bits) << i;
    }
    free(list);
    mode_report odd_desktop = {1280, 1024, 12, 0};
    list = plyx_build_mode_list(&odd_desktop, reported, 1);
    EXPECT_EQ(list[0].width, 640);
    free(list);
    std::string text = test_read_file(log);
    EXPECT_NE(text.find("Registry mode is 1280x1024x24@60hz\n"), std::string::npos);
    EXPECT_NE(text.find("Found mode 800x600x4@60hz (ignored)\n"), std::string::npos);
    EXPECT_NE(text.find("Registry mode is 1280x1024x12@0hz (ignored)\n"), std::string::npos);
    EXPECT_EQ(text.find("640x480x24@75hz"), std::string::npos);
}

// The lines of a log after their stamps.
static std::vector<std::string> log_lines(const std::string &path) {
    std::vector<std::string> out;
    std::stringstream ss(test_read_file(path));
    std::string line;
    while (std::getline(ss, line)) {
        auto at = line.find("] ");
        out.push_back(at == std::string::npos ? line : line.substr(at + 2));
    }
    return out;
}

class platform_window : public testing::Test {
  protected:
    temp_dir dir;
    std::string log;
    window_context *w = nullptr;
    void SetUp() override {
        log = dir.file("log.txt");
        setenv("PLYX_LOGFILE", log.c_str(), 1);
        w = plyx_gl_open("test", 320, 240, 16, 0, 16, 0, 0);
        ASSERT_NE(w, nullptr) << plyx_last_error();
    }
    void TearDown() override {
        if (w) plyx_gl_close(w);
        plyx_shutdown();
    }
    // Pumps until an event arrives or a second passes.
    int next_event(uint32_t *code, int *pressed) {
        for (int i = 0; i < 100; i++) {
            if (plyx_input_next_event(w, code, pressed)) return 1;
            SDL_Delay(10);
        }
        return 0;
    }
};

TEST_F(platform_window, OpenAndCloseLogInOrder) {
    EXPECT_NE(SDL_GL_GetCurrentContext(), nullptr);
    EXPECT_NE(glGetString(GL_VERSION), nullptr);
    plyx_gl_close(w);
    w = nullptr;
    std::vector<std::string> want = {"Options:", " threaded: [off]", "Creating window",
                                     "Foregrounded and locked", "Choosing pixel format",
                                     "Setting pixel format 0", "Creating OpenGL context",
                                     "Deleting OpenGL context", "Destroying window",
                                     "Window shutdown complete"};
    auto lines = log_lines(log);
    size_t at = 0;
    for (const std::string &line : lines)
        if (at < want.size() && line == want[at]) at++;
    EXPECT_EQ(at, want.size()) << "missing or out of order: " << (at < want.size() ? want[at] : "");
}

TEST_F(platform_window, FramesAreRefusedWhileHiddenOrSwitching) {
    plyx_surface *s = plyx_gl_begin_frame(w);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->width, 320);
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_EQ(plyx_gl_end_frame(w), 1);

    auto mutex_is_free = [this] {
        bool free_now = false;
        std::thread t([&] {
            free_now = w->window_mutex->try_lock();
            if (free_now) w->window_mutex->unlock();
        });
        t.join();
        return free_now;
    };
    w->mode_switching = 1;
    EXPECT_EQ(plyx_gl_begin_frame(w), nullptr);
    EXPECT_TRUE(mutex_is_free());
    w->mode_switching = 0;

    SDL_HideWindow(w->window);
    EXPECT_EQ(plyx_gl_begin_frame(w), nullptr);
    EXPECT_TRUE(mutex_is_free());
    SDL_ShowWindow(w->window);
    s = plyx_gl_begin_frame(w);
    EXPECT_NE(s, nullptr);
    if (s) plyx_gl_end_frame(w);
}

TEST_F(platform_window, CloseRequestPostsCloseAndTheWindowStays) {
    SDL_Event e = {};
    e.type = SDL_WINDOWEVENT;
    e.window.event = SDL_WINDOWEVENT_CLOSE;
    e.window.windowID = SDL_GetWindowID(w->window);
    SDL_PushEvent(&e);
    uint32_t code;
    int pressed;
    ASSERT_EQ(next_event(&code, &pressed), 1);
    EXPECT_EQ(code, EVENT_CLOSE);
    EXPECT_EQ(pressed, 1);
    EXPECT_NE(SDL_GetWindowFromID(SDL_GetWindowID(w->window)), nullptr);
}

TEST_F(platform_window, TerminationSignalPostsClose) {
    raise(SIGTERM);
    uint32_t code;
    int pressed;
    ASSERT_EQ(next_event(&code, &pressed), 1);
    EXPECT_EQ(code, EVENT_CLOSE);
}

TEST_F(platform_window, WindowedRequestResizes) {
    plyx_window_request_mode(w, 400, 300, 16);
    plyx_pump_messages(w);
    for (int i = 0; i < 100 && w->width != 400; i++) {
        SDL_Delay(10);
        plyx_pump_messages(w);
    }
    EXPECT_EQ(w->width, 400);
    EXPECT_EQ(w->height, 300);
    EXPECT_EQ(w->mode_switching, 0);
    EXPECT_EQ(w->flags & WINDOW_FLAG_FULLSCREEN, 0);
}

TEST(platform_window_fail, DummyDriverHasNoGL) {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    EXPECT_EQ(plyx_gl_open("test", 320, 240, 16, 0, 16, 0, 0), nullptr);
    std::string err = plyx_last_error();
    EXPECT_EQ(err.rfind("Can't create window!\nSDL: ", 0), 0u) << err;
    plyx_shutdown();
}
