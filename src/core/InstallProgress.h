#pragma once
#include <windows.h>

#include <string>

// What an install step reports while it runs: the stage line names the step,
// the status line the object it is working on, and the bar how much of the
// files stage is done. The progress window implements it; tests record the
// calls instead.
class IInstallProgress
{
public:
    virtual ~IInstallProgress() = default;

    // Sets the stage text from string stageId, then the status text from
    // string statusId; an id of 0 stands for the empty text.
    virtual void SetStage(unsigned stageId, unsigned statusId) = 0;
    virtual void SetStatus(unsigned statusId) = 0;
    virtual void SetStatusText(const std::string& text) = 0;
    virtual void SetStageText(const std::string& text) = 0;

    // The bytes the files stage goes through in all, and those gone through
    // since the last call. The window also takes its pending messages at
    // every call, so it answers the system while a long file is written.
    virtual void SetProgressTotal(ULONGLONG) {}
    virtual void AddProgress(ULONGLONG) {}
};

// Progress that nobody watches.
class CNoProgress : public IInstallProgress
{
public:
    void SetStage(unsigned, unsigned) override {}
    void SetStatus(unsigned) override {}
    void SetStatusText(const std::string&) override {}
    void SetStageText(const std::string&) override {}
};
