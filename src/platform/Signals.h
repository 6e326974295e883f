// The end of the workstation by a signal: SIGTERM (the end of a desktop session, a
// system shutdown), SIGHUP and SIGINT. Nobody may be there to answer a question, so
// none is asked: the main thread writes the recovery files of every modified text (the
// end procedure) and the process ends with status 0, within a second. A thread of its
// own waits for the signals; the main thread takes the request at its next timer tick
// (Events::TimerTick), whatever loop it is in. Should it not get there in time (a long
// computation that takes no messages), the thread ends the process itself, and the
// journal's files stand as last written, at most 2 seconds behind.
#pragma once

namespace Signals {

using Proc = void (*)();

// Blocks the three signals in the calling thread and every thread it starts later, and
// starts the thread that waits for them. Call it first thing, before any thread exists.
void Install();
// What the main thread does before the process ends: writes the recovery files.
void SetEndProc(Proc proc);
// The end asked for from inside, as a signal asks for it (the frame window was destroyed
// from outside): the next Poll carries it out.
void Request();
// On the main thread: when a signal asked for the end, runs the end procedure and ends
// the process with status 0 (never returns then). Nothing otherwise.
void Poll();

} // namespace Signals
