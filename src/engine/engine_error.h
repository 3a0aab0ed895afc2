#pragma once
// Errors of the database engine layer, numbered as the message tables expect them.
#include "value/runtime_error.h"

namespace varnoke {

class EngineError : public RuntimeError {
public:
    using RuntimeError::RuntimeError;
};

namespace err {
inline constexpr int EngineFailure = 3000; // SQLite's own message as description
inline constexpr int InvalidArgument = 3001;
inline constexpr int TableExists = 3010; // select into / create an existing table
inline constexpr int ObjectExists = 3012;
inline constexpr int NoCurrentIndex = 3019;
inline constexpr int UpdateWithoutEdit = 3020;
inline constexpr int NoCurrentRecord = 3021;
inline constexpr int DuplicateKey = 3022;
inline constexpr int FileNotFound = 3024;
inline constexpr int DiskFull = 3026;
inline constexpr int ReadOnly = 3027;
inline constexpr int BadPath = 3044;
inline constexpr int FileInUse = 3045;
inline constexpr int CannotOpen = 3051;
inline constexpr int TooFewParameters = 3061;
inline constexpr int CannotExecuteSelect = 3065;
inline constexpr int UnknownName = 3070;
inline constexpr int ExpressionSyntax = 3075;
inline constexpr int TableNotFound = 3078;
inline constexpr int StatementSyntax = 3129;
inline constexpr int FromSyntax = 3131;
inline constexpr int FieldTooSmall = 3163;
inline constexpr int FieldNotUpdatable = 3164;
inline constexpr int RecordDeleted = 3167;
inline constexpr int NoInstallableIsam = 3170;
inline constexpr int DuplicateFieldName = 3191;
inline constexpr int InvalidOperation = 3219;
inline constexpr int OperationNotSupported = 3251;
inline constexpr int NoFields = 3264;
inline constexpr int PassThroughFailed = 3151;
inline constexpr int NotInCollection = 3265;
inline constexpr int ExternalFormat = 3274;
inline constexpr int ValueCountMismatch = 3346;
inline constexpr int TableDoesNotExist = 3376;
inline constexpr int ObjectInvalid = 3420;
inline constexpr int ConversionError = 3421;
inline constexpr int CriteriaTypeMismatch = 3464;
inline constexpr int AttachedUpdateUnsupported = 3616;
inline constexpr int NotAnIndex = 3800;
} // namespace err

} // namespace varnoke
