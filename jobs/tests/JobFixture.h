// What the job tests share: the stand-in archivers loaded into the chain, the journal they
// write, a scripted person, settings reset per test and a private work folder.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "base/FileList.h"
#include "tests/support/ScriptedPerson.h"
#include "tests/support/TestFiles.h"

namespace job_tests {

using testing_support::PersonCall;

class JobTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Builds the chain from every stand-in, or from a folder holding only the named DLLs.
    void LoadArchivers();
    void LoadArchivers(std::initializer_list<const char*> dlls);

    // Writes work/name with bytes and returns its path.
    std::string Write(const std::string& name, const std::string& bytes);
    // Packs file into folder with the archiver offering label; returns the archive's path.
    std::string Pack(const char* label, const std::string& file, const std::string& folder);
    // A ZIP archive work/<name>.zip holding <name>.txt.
    std::string MakeZip(const std::string& name);

    // The command texts the stand-ins received, as "<dll>|<text>", in order.
    std::vector<std::string> Commands() const;
    void ClearJournal() const;

    // The calls of one kind the scripted person received.
    std::vector<PersonCall> Messages() const { return person.callsOf(PersonCall::Message); }
    std::vector<PersonCall> Explorers() const { return person.callsOf(PersonCall::Explorer); }

    testing_support::TempDir work;
    testing_support::ScriptedPerson person;

private:
    testing_support::TempDir dlls_;
    testing_support::TempDir journalDir_;
    std::string journal_;
};

// Expected Explorer command line for folder.
std::string ExplorerLine(const std::string& folder);
// The user's desktop folder followed by '\\'.
std::string Desktop();
// A drive letter with nothing behind it, e.g. "Q:".
std::string MissingDrive();
FileList& Fill(FileList& list, std::initializer_list<std::string> paths);
std::string Read(const std::string& path);

}  // namespace job_tests
