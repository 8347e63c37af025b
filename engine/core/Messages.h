#pragma once
// The texts of the engine's errors, worded as a Russian desktop database engine words them.

#include <string>

namespace engine::msg {

inline std::string fileNotFound(const std::string& path)
{
    return "Не удается найти файл '" + path + "'.";
}
inline std::string cannotOpen(const std::string& path)
{
    return "Не удается открыть файл '" + path +
           "'. Он уже открыт монопольно другим пользователем, или необходимо разрешение на "
           "просмотр этих данных.";
}
inline std::string badFormat(const std::string& path)
{
    return "Нераспознаваемый формат базы данных '" + path + "'.";
}
inline std::string passwordProtected(const std::string& path)
{
    return "Недопустимый пароль. База данных '" + path +
           "' защищена паролем или зашифрована; открыть ее без пароля нельзя.";
}
inline std::string importCrashed(const std::string& path)
{
    return "Не удается прочитать файл '" + path + "': файл базы данных поврежден.";
}
// The file could not be read whole: `reason` is the system's ("EIO: Input/output error").
inline std::string readError(const std::string& path, const std::string& reason)
{
    return "Не удается прочитать файл '" + path + "': ошибка чтения (" + reason + ").";
}
// The structural check found the file's pages inconsistent.
inline std::string damaged(const std::string& path)
{
    return "Файл базы данных '" + path + "' поврежден; прочитать его нельзя.";
}
inline std::string importOutOfMemory(const std::string& path)
{
    return "Не удается прочитать файл '" + path +
           "': системе не хватило памяти, и чтение остановлено. Закройте другие программы и "
           "повторите попытку.";
}
// The importer ran past a limit the system set for it: `limit` names it.
inline std::string importLimit(const std::string& path, const std::string& limit)
{
    return "Не удается прочитать файл '" + path + "': чтение остановлено системой (превышено " +
           limit + ").";
}
inline std::string limitProcessorTime()
{
    return "ограничение времени процессора";
}
inline std::string limitFileSize()
{
    return "ограничение размера файла";
}
// The importer tried something an import never does (a network connection, starting a
// program) and was stopped: the file is likely crafted.
inline std::string importForbidden(const std::string& path)
{
    return "Не удается прочитать файл '" + path +
           "': программа импорта попыталась выполнить запрещенную операцию и была остановлена. "
           "Файл базы данных поврежден или подделан.";
}
inline std::string diskFull()
{
    return "на диске недостаточно места";
}
inline std::string importTimedOut(const std::string& path, int seconds)
{
    return "Не удается прочитать файл '" + path + "': чтение остановлено, так как за " +
           std::to_string(seconds) +
           " с не было продвижения. Файл базы данных, вероятно, поврежден.";
}
inline std::string fileKeepsChanging(const std::string& path)
{
    return "Не удается прочитать файл '" + path +
           "': файл изменялся во время чтения. Повторите попытку, когда запись в файл будет "
           "закончена.";
}
inline std::string storeFailed(const std::string& detail)
{
    return "Не удается записать временный файл базы данных: " + detail;
}
inline std::string noTable(const std::string& name)
{
    return "Не удается найти входную таблицу или запрос '" + name +
           "'. Убедитесь, что он существует и его имя введено без ошибок.";
}
inline std::string tooFewParameters(int n)
{
    return "Слишком мало параметров. Требуется " + std::to_string(n) + ".";
}
inline std::string syntaxInExpression(const std::string& fragment)
{
    return "Синтаксическая ошибка в выражении запроса '" + fragment + "'.";
}
inline std::string missingOperator(const std::string& fragment)
{
    return "Синтаксическая ошибка (пропущен оператор) в выражении запроса '" + fragment + "'.";
}
inline std::string syntaxInString(const std::string& fragment)
{
    return "Синтаксическая ошибка в строке в выражении запроса '" + fragment + "'.";
}
inline std::string syntaxInFrom()
{
    return "Синтаксическая ошибка в предложении FROM.";
}
inline std::string invalidStatement()
{
    return "Ошибка в инструкции SQL; предполагалось 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT' "
           "или 'UPDATE'.";
}
inline std::string emptyStatement()
{
    return "Текст команды не был задан для данного объекта команды.";
}
inline std::string noConnection()
{
    return "Не задана строка подключения: не указан источник данных (Data Source).";
}
inline std::string notOpen()
{
    return "Операция не допускается, если объект закрыт.";
}
inline std::string noCurrentRecord()
{
    return "Текущая запись отсутствует.";
}
inline std::string noSuchField(int i)
{
    return "Элемент с номером " + std::to_string(i) + " не найден в коллекции.";
}
// A part of the store (the program's private copy of the database) failed its check.
inline std::string storeDamaged()
{
    return "Ошибка чтения данных: служебная копия базы данных, с которой работает программа, "
           "повреждена. Она будет создана заново из файла базы данных; повторите поиск.";
}
// ... and the copy made again at once is damaged too.
inline std::string storeDamagedAgain(const std::string& detail)
{
    return "Ошибка чтения данных: служебная копия базы данных повреждена и после того, как "
           "была создана заново (" +
           detail + "). Возможно, неисправен диск или память компьютера.";
}
inline std::string storeBroken(const std::string& detail)
{
    return "Ошибка чтения данных: " + detail;
}

} // namespace engine::msg
