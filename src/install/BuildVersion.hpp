#pragma once
// The version every binary prints for --version: the project's number and, when built from a
// git checkout, what `git describe` said at build time.

class BuildVersion {
public:
    // "0.1.0" or "0.1.0 (git 81000df-dirty)".
    static const char* text();
    // The project's version number alone, as the package carries it.
    static const char* number();
    // The SPDX name of the project's licence ("MIT").
    static const char* licence();
    // The line --version prints under the version: the copyright holder and the licence.
    static const char* notice();
};
