// Painting without a window, for measurements: a client-sized offscreen image
// the desktop back end paints on exactly as it paints a view. The header
// keeps Qt to itself, so a benchmark needs no Qt of its own.
#pragma once

#include <functional>
#include <memory>

#include "framework/platform_services.h"

namespace cellarium {

// Starts Qt's GUI machinery for a program with no window (on the offscreen
// platform unless QT_QPA_PLATFORM names another); one per program.
class QtWindowlessSession {
public:
    QtWindowlessSession(int& argc, char** argv);
    ~QtWindowlessSession();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Starts Qt's widgets for the whole desktop program without a screen (the
// offscreen platform unless QT_QPA_PLATFORM names another), with settings in
// a temporary folder of its own, so that measuring the program never changes
// the user's settings; one per program, made before the QtPlatform.
class QtOffscreenDesktop {
public:
    QtOffscreenDesktop(int& argc, char** argv);
    ~QtOffscreenDesktop();
    // Runs the event loop as the program's main loop does (waiting for
    // events, so timers, paints and the idle hook all take part) until done
    // holds; done is asked after every pass.
    void RunUntil(const std::function<bool()>& done);
    // Runs the event loop in the same way for ms milliseconds.
    void RunFor(int ms);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

class QtOffscreenTarget {
public:
    QtOffscreenTarget(int width, int height);
    ~QtOffscreenTarget();
    // Runs draw with the back end's drawing surface over the image, as a paint
    // of the view does.
    void Paint(const std::function<void(DrawingSurface&)>& draw);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace cellarium
