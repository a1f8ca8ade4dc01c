// Where an output of several tables goes, and the failure of them all.

#include "export/OutputTables.h"

#include "framework/CFile.h"
#include "framework/OutputFile.h"

void SharedOutput::Open(OutputFile& out) const
{
    if (Standard)
        out.OpenStandardOutput(StandardName);
    else
        out.Open(Name.c_str());
}

void SharedOutput::RefuseTable(const std::string& table) const
{
    if (!Standard && CFile::IsSameFile(table.c_str(), Name.c_str()))
        throw CFileException(CFileException::accessDenied, Name.c_str(), 0,
                             "La salida %s es la propia tabla; no se escribe sobre ella.");
}

bool OutputTables::OpenOutput(const SharedOutput& output, OutputFile& out)
{
    try {
        output.Open(out);
        return true;
    } catch (const CFileException& e) {
        FailAll(e);
        return false;
    }
}

void OutputTables::FailAll(const CFileException& e)
{
    SayFailure(e.GetErrorMessage(), e.m_strFileName.GetString());
    m_failed.assign(m_failed.size(), true);
}
