#pragma once

// fsync and fdatasync as a slow or stuck disk makes them, for finding out which thread waits on
// a sync. Loaded with LD_PRELOAD (libvelmar_slowsync.so), every sync takes VELMAR_SYNC_DELAY_MS
// milliseconds. Linked into a test, the test may hold every sync made off the main thread until it
// lets them go, while syncs made on the main thread are counted and return at once, so that a
// main thread that would wait on the disk is caught rather than left hanging.
namespace SlowSync {

// While held, syncs made off the main thread wait until release().
void hold();
void release();
// Syncs the main thread has made since the last reset().
int mainThreadSyncs();
// Syncs made off the main thread, including those waiting now.
int otherThreadSyncs();
// Syncs waiting in hold now.
int waiting();
// Waits until at least count syncs wait in hold, up to a bound that only a hung program meets;
// false when the bound passed.
bool waitForWaiting(int count);
void reset();

} // namespace SlowSync
