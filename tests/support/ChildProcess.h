// Runs part of a test in a forked child, for what would break the test process itself (its memory
// exhausted, its address space limited). The child reports through its exit code: 0 when all held,
// else the number of the check that failed.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

// Forks, runs body in the child and ends the child with body's result; in the test, expects that
// the child exited by itself with 0.
template <typename Body>
void expectChildSucceeds(Body body) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) _exit(body());
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the child ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the child's failed check";
}
