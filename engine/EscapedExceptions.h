// What a C boundary does with an exception that reached it. The host calls the module, and the
// platform loop calls the toolkit, through C functions: an exception that crossed one would end the
// host's process. Each boundary catches everything, calls reportEscapedException inside its catch
// block, and returns its failure value. The first exception of the process is reported on standard
// error; later ones are only counted, so that a fault in a paint cannot flood the host's log.
//
// Threads: [any-thread].
#pragma once

// Call inside a catch block only: reports (the first time) the exception being handled, and where.
void reportEscapedException(const char* boundary) noexcept;

// How many exceptions the boundaries have caught so far in this process.
long escapedExceptionCount() noexcept;
