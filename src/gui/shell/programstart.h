#pragma once

class Prompter;
class SingleInstance;

namespace ProgramStart
{
// The first thing a run does, before any window, file or socket exists: false when another
// program runs on the same home, after the user was told so. The lock is held by `instance`.
bool ClaimInstance(SingleInstance& instance, Prompter& prompter);
} // namespace ProgramStart
