#include "framework/CException.h"

#include "framework/AnsiText.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#endif

namespace {

// Program texts are Windows-1252, the ANSI code page of Spanish Windows.
const char* StandardMessage(CFileException::Cause cause)
{
    switch (cause) {
    case CFileException::fileNotFound:     return "No se encuentra el archivo %s.";
    case CFileException::badPath:          return ANSI_TEXT("La ruta del archivo %s no es válida.");
    case CFileException::accessDenied:     return "Acceso denegado al archivo %s.";
    case CFileException::sharingViolation: return ANSI_TEXT("El archivo %s está en uso por otro programa.");
    case CFileException::diskFull:         return "No queda espacio en el disco para el archivo %s.";
    case CFileException::endOfFile:        return ANSI_TEXT("Se intentó leer más allá del final del archivo %s.");
    case CFileException::invalidFile:      return ANSI_TEXT("El archivo %s no es válido.");
    case CFileException::none:
    case CFileException::genericException: break;
    }
    return "Error al acceder al archivo %s.";
}

} // namespace

CFileException::CFileException(Cause cause, const CString& fileName, long osError,
                               const char* messageFormat)
    : m_cause(cause), m_lOsError(osError), m_strFileName(fileName)
{
    m_message = messageFormat ? messageFormat : StandardMessage(cause);
    m_message.Replace("%s", fileName.View());
}

CFileException::Cause CFileException::OsErrorToCause(long osError)
{
#ifdef _WIN32
    switch (osError) {
    case ERROR_FILE_NOT_FOUND:
        return fileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_DIRECTORY:
        return badPath;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
        return accessDenied;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return sharingViolation;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return diskFull;
    case ERROR_HANDLE_EOF:
        return endOfFile;
    default:
        return genericException;
    }
#else
    switch (osError) {
    case ENOENT:
        return fileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
        return badPath;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
        return accessDenied;
    case EWOULDBLOCK:
        return sharingViolation;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return diskFull;
    default:
        return genericException;
    }
#endif
}

CString CResourceException::GetErrorMessage() const
{
    return ANSI_TEXT("No se pudo crear un recurso gráfico del sistema.");
}
