#pragma once

#include "framework/CObject.h"
#include "framework/CString.h"

// Base of the framework's exceptions. They are thrown by value and caught by
// reference; the window-message boundary reports them to the user.
class CException : public CObject {
public:
    // A sentence fit to show to a user, in Spanish.
    virtual CString GetErrorMessage() const = 0;
};

// A file operation failed. Carries the cause, the file's path, the operating
// system's error code and the message for the user, which names the file.
class CFileException : public CException {
public:
    enum Cause {
        none,
        genericException,
        fileNotFound,
        badPath,
        accessDenied,
        sharingViolation,
        diskFull,
        endOfFile,
        invalidFile,
    };

    // messageFormat holds one %s for the path; without one the cause's
    // standard message is used.
    CFileException(Cause cause, const CString& fileName, long osError = 0,
                   const char* messageFormat = nullptr);

    CString GetErrorMessage() const override { return m_message; }
    // A sentence added to the message, such as what the failure left; none
    // when it is empty.
    void AddSentence(const CString& sentence)
    {
        if (!sentence.IsEmpty())
            m_message += " " + sentence;
    }

    // The cause that an operating-system error code stands for.
    static Cause OsErrorToCause(long osError);

    Cause m_cause;
    long m_lOsError;
    CString m_strFileName;

private:
    CString m_message;
};

// A system resource (a brush, a bitmap, a device context) could not be made.
class CResourceException : public CException {
public:
    CString GetErrorMessage() const override;
};

// Ends a dialog data exchange whose failure has been shown to the user
// already; it is never reported again.
class CUserException : public CException {
public:
    CString GetErrorMessage() const override { return CString(); }
};
