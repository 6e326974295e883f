// Recovery of modified texts: nothing typed is lost when the workstation dies.
//
// The journal follows every modified text of the user (the command text and every text
// outside "/Shell", as Quit counts them) and keeps its content in a recovery file of the
// recovery directory ($XDG_STATE_HOME/velmarin/recovery, else
// ~/.local/state/velmarin/recovery), flushed to disk within 2 seconds of the text's last
// change. Typing never waits for it: the journal keeps a copy of each text, built in
// small steps while the workstation waits for input and kept up to date by every change
// of the text (Lines' change procedure); a thread of its own writes a snapshot of that
// copy (its pieces are shared, not copied) into a new file, flushes it and renames it
// over the old one. A text's file goes when the text is stored (no longer modified),
// deleted, or discarded at Quit.
//
// Files are named after the workstation that wrote them (its process number and a
// random tag) and that workstation holds a lock on "ID.lock" while it runs, so that a
// second workstation never takes files of one that still runs. At start the files of
// workstations that no longer run are offered (Offer): each text with its name, host
// file and time of its last change, to Recover (it opens modified, with the recovered
// content), Discard, or keep for the next start (Later, and Escape).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "store/Buffer.h"

namespace Recovery {

// The recovery directory the environment names.
std::string DefaultDirectory();

// Starts the journal in directory (made when missing): the lock, the store's change
// and release procedures, the writer thread. False, with the journal off, when the
// directory cannot be had.
[[nodiscard]] bool Start(const std::string& directory);
bool Started();
// Stops the journal: the writer finishes what it was given and ends; the files stay
// (for the next start) unless discard is set, which removes them and the lock: a normal
// end in which the user decided about every modified text.
void Stop(bool discard);

// The journal's work on the main thread while the workstation waits: a step of copying,
// the texts that became modified or were stored, snapshots for the writer. Each call
// takes a fraction of a millisecond; true when more is to do at once.
bool Idle();
// Writes every modified text's recovery file now, on the calling thread, flushed: for
// the end of the workstation by a signal. The writer's work in flight is dropped.
void WriteAllNow();

// The texts of workstations that no longer run, offered one by one; the texts
// recovered (already journaled by this workstation).
std::vector<Buffer::Ref> Offer();

// The user's texts: the command text ("/Shell/Command") first, then every text buffer
// outside "/Shell", depth first in name order.
void ForEachUserText(const std::function<void(Buffer::Ref)>& proc);

namespace Testing {
// Waits until the journal has nothing left to copy, hand over or write (running Idle
// meanwhile); false when that took longer than seconds.
bool Settle(double seconds);
// The recovery files of this workstation that exist now.
std::vector<std::string> OwnFiles();
// The files the writer has written so far.
std::uint64_t FilesWritten();
} // namespace Testing

} // namespace Recovery
