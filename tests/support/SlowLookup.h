#pragma once

// getaddrinfo as a slow or dead resolver makes it, for finding out which thread waits on a host
// name's lookup. Linked into a test (its definition takes the calls of the shared libraries too),
// lookups of kHeldName made off the main thread wait while held and then find the loopback
// address; a lookup of it on the main thread is counted and answered at once, so that a main
// thread that would wait is caught rather than left hanging. Other names are looked up as usual.
// Loaded with LD_PRELOAD, every lookup first takes VELMAR_LOOKUP_DELAY_MS milliseconds.
namespace SlowLookup {

inline constexpr const char* kHeldName = "held-broker.invalid";

void hold();
void release();
// Lookups of kHeldName the main thread has made.
int mainThreadLookups();
// Lookups of kHeldName waiting in hold now.
int waiting();
// Lookups of kHeldName made off the main thread that have returned.
int finished();
// Waits until at least count lookups wait in hold (or, for waitForFinished, have returned), up
// to a bound that only a hung program meets; false when the bound passed.
bool waitForWaiting(int count);
bool waitForFinished(int count);
void reset();

} // namespace SlowLookup
