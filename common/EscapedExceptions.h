// What a C boundary does with an exception that reached it. The host calls the module, and the
// platform loop calls the toolkit, through C functions: an exception that crossed one would end the
// host's process. Each boundary catches everything, calls reportEscapedException inside its catch
// block, and returns its failure value. The first exception of the process is reported on standard
// error; later ones are only counted, so that a fault in a paint cannot flood the host's log.
//
// Threads: [any-thread].
#pragma once

// Call inside a catch block only: reports (the first time) the exception being handled, where, and
// what the boundary does about it (by default, nothing: the module goes on).
void reportEscapedException(const char* boundary, const char* consequence = "the module goes on") noexcept;

// The consequence at an instance's boundaries: the instance is marked faulted (Effect::markFaulted).
constexpr const char* kInstanceStops = "the instance does nothing from now on, the module goes on";

// How many exceptions the boundaries have caught so far in this process.
long escapedExceptionCount() noexcept;
