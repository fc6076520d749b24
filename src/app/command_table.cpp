#include "app/command_table.h"

#include "app/about_dlg.h"
#include "app/child_frame.h"
#include "app/main_frame.h"
#include "commands/record_commands.h"
#include "widgets/child_view.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStatusBar>

namespace {

using R = EnableRule;

// Reception in the active record window (which asks first when that would lose its record).
void OnEkard(CMainFrame& frame) {
    if (CChildFrame* f = frame.ActiveFrame())
        f->OnEkard();
}

// A command on the active record window's document; nothing without one.
template <void (CRecordCommands::*Command)()> void OnRecord(CMainFrame& frame) {
    if (CChildFrame* f = frame.ActiveFrame())
        (f->Commands()->*Command)();
}

void OnFileClose(CMainFrame& frame) {
    if (CChildFrame* f = frame.ActiveFrame())
        f->OnFileClose();
}

void OnArrange(CMainFrame& frame) {
    for (QMdiSubWindow* w : frame.MdiArea()->subWindowList())
        if (w->isMinimized())
            w->showMinimized(); // minimised windows line up along the bottom
}

const char* const kFile = QT_TRANSLATE_NOOP("CommandTable", "&Файл");
const char* const kEdit = QT_TRANSLATE_NOOP("CommandTable", "&Редактирование");
const char* const kData = QT_TRANSLATE_NOOP("CommandTable", "Данные");
const char* const kView = QT_TRANSLATE_NOOP("CommandTable", "&Вид");
const char* const kWindows = QT_TRANSLATE_NOOP("CommandTable", "&Окна");
const char* const kHelp = QT_TRANSLATE_NOOP("CommandTable", "&Помощь");
const char* const kArchive = QT_TRANSLATE_NOOP("CommandTable", "&Архив");

} // namespace

const std::vector<CommandInfo>& CommandTable() {
    static const std::vector<CommandInfo> table = {
        {ID_FILE_NEW,
         kFile,
         QT_TRANSLATE_NOOP("CommandTable", "&Новый\tCtrl+N"),
         {"Ctrl+N", nullptr},
         1,
         [](CMainFrame& f) { f.OnFileNew(); },
         QT_TRANSLATE_NOOP("CommandTable", "Создать новый документ\nНовый"),
         R::Always,
         false},
        {ID_FILE_OPEN,
         kFile,
         QT_TRANSLATE_NOOP("CommandTable", "&Открыть...\tCtrl+O"),
         {"Ctrl+O", nullptr},
         2,
         [](CMainFrame& f) { f.OnFileOpen(); },
         QT_TRANSLATE_NOOP("CommandTable", "Открыть существующий документ\nОткрыть"),
         R::Always,
         false},
        {ID_WORKLIST,
         kFile,
         QT_TRANSLATE_NOOP("CommandTable", "&Рабочий список..."),
         {nullptr, nullptr},
         0,
         [](CMainFrame& f) { f.OnWorklist(); },
         QT_TRANSLATE_NOOP(
             "CommandTable",
             "Направления на ЭКГ из рабочего списка больницы: выбрать пациента для записи\n"
             "Рабочий список"),
         R::Always,
         false},
        {ID_FILE_CLOSE,
         kFile,
         QT_TRANSLATE_NOOP("CommandTable", "&Закрыть"),
         {nullptr, nullptr},
         0,
         OnFileClose,
         QT_TRANSLATE_NOOP("CommandTable", "Закрыть активный документ\nЗакрыть"),
         R::NeedsWindow,
         true},
        {ID_FILE_PRINT,
         kFile,
         QT_TRANSLATE_NOOP("CommandTable", "&Печать...\tCtrl+P"),
         {"Ctrl+P", nullptr},
         0,
         OnRecord<&CRecordCommands::OnPrint>,
         QT_TRANSLATE_NOOP("CommandTable", "Напечатать отчет об ЭКГ\nПечать"),
         R::Loaded,
         false},
        {ID_FILE_PRINT_PREVIEW,
         kFile,
         QT_TRANSLATE_NOOP("CommandTable", "Предварительный про&смотр"),
         {nullptr, nullptr},
         0,
         OnRecord<&CRecordCommands::OnPrintPreview>,
         QT_TRANSLATE_NOOP(
             "CommandTable",
             "Показать отчет об ЭКГ так, как он будет напечатан\nПредварительный просмотр"),
         R::Loaded,
         false},
        {ID_FILE_SAVE_PDF,
         kFile,
         QT_TRANSLATE_NOOP("CommandTable", "Сохранить в P&DF..."),
         {nullptr, nullptr},
         0,
         OnRecord<&CRecordCommands::OnSavePdf>,
         QT_TRANSLATE_NOOP("CommandTable", "Сохранить отчет об ЭКГ в файл PDF\nСохранить в PDF"),
         R::Loaded,
         true},
        {ID_APP_EXIT,
         kFile,
         QT_TRANSLATE_NOOP("CommandTable", "&Выход"),
         {nullptr, nullptr},
         0,
         [](CMainFrame& f) { f.close(); },
         QT_TRANSLATE_NOOP("CommandTable", "Выйти из приложения\nВыход"),
         R::Always,
         false},
        {57643,
         kEdit,
         QT_TRANSLATE_NOOP("CommandTable", "&Отменить\tCtrl+Z"),
         {"Ctrl+Z", "Alt+Backspace"},
         0,
         nullptr,
         QT_TRANSLATE_NOOP("CommandTable", "Отменить последнее действие\nОтменить"),
         R::Never,
         true},
        {57635,
         kEdit,
         QT_TRANSLATE_NOOP("CommandTable", "&Вырезать\tCtrl+X"),
         {"Ctrl+X", "Shift+Del"},
         0,
         nullptr,
         QT_TRANSLATE_NOOP("CommandTable",
                           "Вырезать выделенное и поместить в буфер обмена\nВырезать"),
         R::Never,
         false},
        {57634,
         kEdit,
         QT_TRANSLATE_NOOP("CommandTable", "&Копировать\tCtrl+C"),
         {"Ctrl+C", "Ctrl+Ins"},
         0,
         nullptr,
         QT_TRANSLATE_NOOP("CommandTable", "Копировать выделенное в буфер обмена\nКопировать"),
         R::Never,
         false},
        {57637,
         kEdit,
         QT_TRANSLATE_NOOP("CommandTable", "Вст&авить\tCtrl+V"),
         {"Ctrl+V", "Shift+Ins"},
         0,
         nullptr,
         QT_TRANSLATE_NOOP("CommandTable", "Вставить содержимое буфера обмена\nВставить"),
         R::Never,
         false},
        {ID_CONFIG,
         kEdit,
         QT_TRANSLATE_NOOP("CommandTable", "&Настройки"),
         {nullptr, nullptr},
         10,
         OnRecord<&CRecordCommands::OnConfig>,
         QT_TRANSLATE_NOOP("CommandTable", "Настроить параметры документа\nНастройка"),
         R::NotSending,
         false},
        {ID_EKARD,
         kData,
         QT_TRANSLATE_NOOP("CommandTable", "Прием данных от кардиографа"),
         {"Ctrl+Return", "Ctrl+Enter"},
         4,
         OnEkard,
         QT_TRANSLATE_NOOP(
             "CommandTable",
             "Начать или закончить прием данных от кардиографа\nПередача данных от кардиографа"),
         R::NotSending,
         false},
        {ID_DEFINE_CURVES,
         kData,
         QT_TRANSLATE_NOOP("CommandTable", "Редактировать описание"),
         {nullptr, nullptr},
         5,
         OnRecord<&CRecordCommands::OnDefineCurves>,
         QT_TRANSLATE_NOOP("CommandTable", "Допавить или изменить описание к записи\nОписание"),
         R::NotSending,
         false},
        {ID_EXPORT,
         kData,
         QT_TRANSLATE_NOOP("CommandTable", "Сохранить в файл"),
         {nullptr, nullptr},
         6,
         OnRecord<&CRecordCommands::OnExport>,
         QT_TRANSLATE_NOOP("CommandTable", "Сохранить запись на диске\nСохранить"),
         R::Loaded,
         false},
        {ID_SEND_EMAIL,
         kData,
         QT_TRANSLATE_NOOP("CommandTable", "Отправить по E-Mail"),
         {nullptr, nullptr},
         7,
         OnRecord<&CRecordCommands::OnSendEmail>,
         QT_TRANSLATE_NOOP("CommandTable", "Отправить запись в электронном письме\nОтправить"),
         R::LoadedNotSending,
         true},
        {ID_EXPORT_SCP,
         kData,
         QT_TRANSLATE_NOOP("CommandTable", "Сохранить в SCP файл"),
         {nullptr, nullptr},
         8,
         OnRecord<&CRecordCommands::OnExportScp>,
         QT_TRANSLATE_NOOP("CommandTable", "Сохранить файл SCP на диске\nСохранить"),
         R::Loaded,
         false},
        {ID_SEND_EMAIL_SCP,
         kData,
         QT_TRANSLATE_NOOP("CommandTable", "Отправить SCP по E-Mail"),
         {nullptr, nullptr},
         9,
         OnRecord<&CRecordCommands::OnSendEmailScp>,
         QT_TRANSLATE_NOOP("CommandTable", "Отправить файл SCP в электронном письме\nОтправить"),
         R::LoadedNotSending,
         false},
        {ID_SEND_EMAIL_DICOM,
         kData,
         QT_TRANSLATE_NOOP("CommandTable", "Отправить DICOM по E-Mail"),
         {nullptr, nullptr},
         0,
         OnRecord<&CRecordCommands::OnSendEmailDicom>,
         QT_TRANSLATE_NOOP("CommandTable",
                           "Отправить запись как DICOM ЭКГ в электронном письме\nОтправить"),
         R::LoadedNotSending,
         false},
        {ID_SEND_PACS,
         kData,
         QT_TRANSLATE_NOOP("CommandTable", "Отправить в PACS"),
         {nullptr, nullptr},
         0,
         OnRecord<&CRecordCommands::OnSendPacs>,
         QT_TRANSLATE_NOOP("CommandTable", "Отправить запись в архив больницы (PACS) как DICOM "
                                           "ЭКГ; Esc прерывает\nОтправить в PACS"),
         R::LoadedNotSending,
         false},
        {ID_SEND_HIS,
         kData,
         QT_TRANSLATE_NOOP("CommandTable", "Отправить результат в МИС"),
         {nullptr, nullptr},
         0,
         OnRecord<&CRecordCommands::OnSendHis>,
         QT_TRANSLATE_NOOP(
             "CommandTable",
             "Отправить результат (измерения, заключение и отчёт) в медицинскую информационную "
             "систему больницы по HL7; Esc прерывает\nОтправить в МИС"),
         R::LoadedNotSending,
         false},
        {ID_VIEW_TOOLBAR,
         kView,
         QT_TRANSLATE_NOOP("CommandTable", "&Панель инструментов"),
         {nullptr, nullptr},
         0,
         nullptr,
         QT_TRANSLATE_NOOP(
             "CommandTable",
             "Показать или спрятать панель инструментов\nПереключить панель инструментов"),
         R::Never,
         false},
        {ID_VIEW_STATUS_BAR,
         kView,
         QT_TRANSLATE_NOOP("CommandTable", "&Статусная строка"),
         {nullptr, nullptr},
         0,
         [](CMainFrame& f) { f.statusBar()->setVisible(f.statusBar()->isHidden()); },
         QT_TRANSLATE_NOOP("CommandTable",
                           "Показать или спрятать статусную строку\nПереключить статусную строку"),
         R::Always,
         false},
        {ID_WINDOW_CASCADE,
         kWindows,
         QT_TRANSLATE_NOOP("CommandTable", "&Каскадом"),
         {nullptr, nullptr},
         0,
         [](CMainFrame& f) { f.MdiArea()->cascadeSubWindows(); },
         QT_TRANSLATE_NOOP("CommandTable", "Выстроить окна каскадом\nКаскадом"),
         R::NeedsWindow,
         false},
        {ID_WINDOW_TILE_HORZ,
         kWindows,
         QT_TRANSLATE_NOOP("CommandTable", "&Замостить"),
         {nullptr, nullptr},
         0,
         [](CMainFrame& f) { f.MdiArea()->tileSubWindows(); },
         QT_TRANSLATE_NOOP("CommandTable", "Замостить окно горизонтально\nЗамостить"),
         R::NeedsWindow,
         false},
        {ID_WINDOW_ARRANGE,
         kWindows,
         QT_TRANSLATE_NOOP("CommandTable", "&Выстроить"),
         {nullptr, nullptr},
         0,
         OnArrange,
         QT_TRANSLATE_NOOP("CommandTable", "Выстроить Значки внизу окна\nВыстроить значки"),
         R::NeedsWindow,
         false},
        {ID_ARCHIVE,
         kArchive,
         QT_TRANSLATE_NOOP("CommandTable", "&Пациенты...\tCtrl+Shift+A"),
         {"Ctrl+Shift+A", nullptr},
         3,
         [](CMainFrame& f) { f.OnArchive(); },
         QT_TRANSLATE_NOOP(
             "CommandTable",
             "Архив: все записи всех пациентов, поиск по фамилии и номеру карты\nАрхив"),
         R::Always,
         false},
        {ID_ARCHIVE_IMPORT,
         kArchive,
         QT_TRANSLATE_NOOP("CommandTable", "&Импорт папки..."),
         {nullptr, nullptr},
         0,
         [](CMainFrame& f) { f.OnArchiveImport(); },
         QT_TRANSLATE_NOOP("CommandTable",
                           "Добавить в архив все записи из папки и её подпапок\nИмпорт папки"),
         R::Always,
         false},
        {ID_HIS_OUTBOX,
         kArchive,
         QT_TRANSLATE_NOOP("CommandTable", "&Очередь результатов для МИС..."),
         {nullptr, nullptr},
         0,
         [](CMainFrame& f) { f.OnHisOutbox(); },
         QT_TRANSLATE_NOOP(
             "CommandTable",
             "Результаты, которые медицинская информационная система ещё не приняла: отправить "
             "снова или удалить\nОчередь для МИС"),
         R::Always,
         false},
        {ID_NEW_DOCTOR,
         kArchive,
         QT_TRANSLATE_NOOP("CommandTable", "&Новый врач..."),
         {nullptr, nullptr},
         0,
         [](CMainFrame& f) { f.OnNewDoctor(); },
         QT_TRANSLATE_NOOP(
             "CommandTable",
             "Создать учётную запись врача, который подтверждает заключения\nНовый врач"),
         R::Always,
         false},
        {ID_READING,
         kArchive,
         QT_TRANSLATE_NOOP("CommandTable", "&Заключение..."),
         {nullptr, nullptr},
         0,
         [](CMainFrame& f) { f.OnReading(); },
         QT_TRANSLATE_NOOP(
             "CommandTable",
             "Заключение врача по записи: утверждения, подтверждение и изменения\nЗаключение"),
         R::LoadedNotSending,
         false},
        {ID_COMPARE_PREVIOUS,
         kArchive,
         QT_TRANSLATE_NOOP("CommandTable", "&Сравнить с предыдущей ЭКГ"),
         {nullptr, nullptr},
         0,
         [](CMainFrame& f) { f.OnComparePrevious(); },
         QT_TRANSLATE_NOOP(
             "CommandTable",
             "Сравнить запись с предыдущей ЭКГ этого пациента из архива: обе записи, усреднённые "
             "комплексы, измерения и динамика\nСравнить с предыдущей ЭКГ"),
         R::ArchivedWithPrevious,
         false},
        {ID_APP_ABOUT,
         kHelp,
         QT_TRANSLATE_NOOP("CommandTable", "&О программе..."),
         {nullptr, nullptr},
         11,
         [](CMainFrame& f) { CAboutDlg(&f).exec(); },
         QT_TRANSLATE_NOOP("CommandTable",
                           "Информация о программе. Версия. Копирайты\nО программе..."),
         R::Always,
         false},
        {57680,
         nullptr,
         nullptr,
         {"F6", nullptr},
         0,
         [](CMainFrame& f) { f.MdiArea()->activateNextSubWindow(); },
         QT_TRANSLATE_NOOP("CommandTable", "Перейти к следующему окну\nСледующее окно"),
         R::Always,
         false},
        {57681,
         nullptr,
         nullptr,
         {"Shift+F6", nullptr},
         0,
         [](CMainFrame& f) { f.MdiArea()->activatePreviousSubWindow(); },
         QT_TRANSLATE_NOOP("CommandTable", "Вернуться к предыдущему окну\nПредыдущее окно"),
         R::Always,
         false},
    };
    return table;
}

const CommandInfo* FindCommand(int id) {
    for (const CommandInfo& c : CommandTable())
        if (c.id == id)
            return &c;
    return nullptr;
}

const std::vector<const char*>& MenuPopups() {
    static const std::vector<const char*> popups = {kFile,    kEdit,    kData, kView,
                                                    kArchive, kWindows, kHelp};
    return popups;
}

const std::vector<int>& ToolbarLayout() {
    static const std::vector<int> layout = {ID_FILE_NEW,
                                            ID_FILE_OPEN,
                                            ID_ARCHIVE,
                                            0,
                                            ID_EKARD,
                                            ID_DEFINE_CURVES,
                                            0,
                                            ID_EXPORT,
                                            ID_SEND_EMAIL,
                                            ID_EXPORT_SCP,
                                            ID_SEND_EMAIL_SCP,
                                            0,
                                            ID_CONFIG,
                                            ID_APP_ABOUT};
    return layout;
}

bool IsCommandEnabled(const CommandInfo& c, const CommandContext& ctx) {
    switch (c.rule) {
    case EnableRule::Always:
        return true;
    case EnableRule::Never:
        return false;
    case EnableRule::NeedsWindow:
        return ctx.hasWindow;
    case EnableRule::NotSending:
        return ctx.hasWindow && !ctx.sending;
    case EnableRule::Loaded:
        return ctx.hasWindow && ctx.loaded;
    case EnableRule::LoadedNotSending:
        return ctx.hasWindow && ctx.loaded && !ctx.sending;
    case EnableRule::ArchivedWithPrevious:
        return ctx.hasWindow && ctx.loaded && ctx.archived && ctx.hasPrevious;
    }
    return false;
}

const char* DisabledReason(const CommandInfo& c, const CommandContext& ctx) {
    if (c.rule != EnableRule::ArchivedWithPrevious || IsCommandEnabled(c, ctx))
        return nullptr;
    if (!ctx.hasWindow || !ctx.loaded)
        return QT_TRANSLATE_NOOP("CommandTable", "Сравнение недоступно: нет записи в окне");
    if (!ctx.archived)
        return QT_TRANSLATE_NOOP("CommandTable", "Сравнение недоступно: записи нет в архиве");
    return QT_TRANSLATE_NOOP(
        "CommandTable", "Сравнение недоступно: в архиве нет более ранней записи этого пациента");
}
