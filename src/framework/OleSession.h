#pragma once
#include <windows.h>
#include <ole2.h>

// Keeps OLE initialised on the calling thread while it lives: the setup's
// start-up holds one for the whole run (shell links are made through COM),
// and the tests hold one as the start-up does.
class COleSession
{
public:
    COleSession() : m_hr(::OleInitialize(nullptr)) {}
    ~COleSession()
    {
        if (SUCCEEDED(m_hr))
            ::OleUninitialize();
    }
    COleSession(const COleSession&) = delete;
    COleSession& operator=(const COleSession&) = delete;

private:
    HRESULT m_hr;
};
