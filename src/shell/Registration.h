// Removing the program's traces from the user's account: its desktop entry, the MIME
// types of its two file types, their icons and associations, and its settings file.
#pragma once

#include <functional>
#include <string>
#include <vector>

// The user's XDG base folders, where the desktop entry and the MIME registration live.
struct RegistrationPaths {
    std::string dataHome;   // $XDG_DATA_HOME, usually ~/.local/share
    std::string configHome; // $XDG_CONFIG_HOME, usually ~/.config
};

// The folders from $XDG_DATA_HOME and $XDG_CONFIG_HOME; an unset, empty or relative value
// falls back to $HOME/.local/share or $HOME/.config (the account's home folder when $HOME is
// unset). A folder stays empty when no home folder can be found.
RegistrationPaths UserRegistrationPaths();

// What became of one run of a helper program.
enum class RunOutcome { Succeeded, NotFound, Failed };

// Runs argv[0] (looked up in $PATH) with the given arguments and waits for it.
using ProgramRunner = std::function<RunOutcome(const std::vector<std::string>& argv)>;

// The default runner: no shell, input and output on /dev/null.
RunOutcome RunProgram(const std::vector<std::string>& argv);

struct CleanUpResult {
    bool complete = true;             // nothing in `failed`
    std::vector<std::string> removed; // files removed or rewritten
    std::vector<std::string> failed;  // files left in place, or cache refreshes that failed
};

// Removes the desktop entry, the MIME package, the icons and the associations of the two
// file types under `paths`, refreshes the desktop and MIME caches when their folders
// changed, and deletes `settingsPath` (skipped when empty). Every step runs even when an
// earlier one failed. An absent file is no failure; one that exists and stays is.
// Symbolic links inside the folders are never followed to change anything: a file reached
// only through one is reported as failed when it is present.
// `run` starts the cache refresh programs; when empty, RunProgram is used.
CleanUpResult CleanUpRegistration(const RegistrationPaths& paths, const std::string& settingsPath,
                                  const ProgramRunner& run = {});
