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

const char* const kFile = "&Файл";
const char* const kEdit = "&Редактирование";
const char* const kData = "Данные";
const char* const kView = "&Вид";
const char* const kWindows = "&Окна";
const char* const kHelp = "&Помощь";
const char* const kArchive = "&Архив";

} // namespace

const std::vector<CommandInfo>& CommandTable() {
    static const std::vector<CommandInfo> table = {
        {ID_FILE_NEW,
         kFile,
         "&Новый\tCtrl+N",
         {"Ctrl+N", nullptr},
         1,
         [](CMainFrame& f) { f.OnFileNew(); },
         "Создать новый документ\nНовый",
         R::Always,
         false},
        {ID_FILE_OPEN,
         kFile,
         "&Открыть...\tCtrl+O",
         {"Ctrl+O", nullptr},
         2,
         [](CMainFrame& f) { f.OnFileOpen(); },
         "Открыть существующий документ\nОткрыть",
         R::Always,
         false},
        {ID_WORKLIST,
         kFile,
         "&Рабочий список...",
         {nullptr, nullptr},
         0,
         [](CMainFrame& f) { f.OnWorklist(); },
         "Направления на ЭКГ из рабочего списка больницы: выбрать пациента для записи\n"
         "Рабочий список",
         R::Always,
         false},
        {ID_FILE_CLOSE,
         kFile,
         "&Закрыть",
         {nullptr, nullptr},
         0,
         OnFileClose,
         "Закрыть активный документ\nЗакрыть",
         R::NeedsWindow,
         true},
        {ID_FILE_PRINT,
         kFile,
         "&Печать...\tCtrl+P",
         {"Ctrl+P", nullptr},
         0,
         OnRecord<&CRecordCommands::OnPrint>,
         "Напечатать отчет об ЭКГ\nПечать",
         R::Loaded,
         false},
        {ID_FILE_PRINT_PREVIEW,
         kFile,
         "Предварительный про&смотр",
         {nullptr, nullptr},
         0,
         OnRecord<&CRecordCommands::OnPrintPreview>,
         "Показать отчет об ЭКГ так, как он будет напечатан\nПредварительный просмотр",
         R::Loaded,
         false},
        {ID_FILE_SAVE_PDF,
         kFile,
         "Сохранить в P&DF...",
         {nullptr, nullptr},
         0,
         OnRecord<&CRecordCommands::OnSavePdf>,
         "Сохранить отчет об ЭКГ в файл PDF\nСохранить в PDF",
         R::Loaded,
         true},
        {ID_APP_EXIT,
         kFile,
         "&Выход",
         {nullptr, nullptr},
         0,
         [](CMainFrame& f) { f.close(); },
         "Выйти из приложения\nВыход",
         R::Always,
         false},
        {57643,
         kEdit,
         "&Undo\tCtrl+Z",
         {"Ctrl+Z", "Alt+Backspace"},
         0,
         nullptr,
         "Undo the last action\nUndo",
         R::Never,
         true},
        {57635,
         kEdit,
         "Cu&t\tCtrl+X",
         {"Ctrl+X", "Shift+Del"},
         0,
         nullptr,
         "Cut the selection and put it on the Clipboard\nCut",
         R::Never,
         false},
        {57634,
         kEdit,
         "&Copy\tCtrl+C",
         {"Ctrl+C", "Ctrl+Ins"},
         0,
         nullptr,
         "Copy the selection and put it on the Clipboard\nCopy",
         R::Never,
         false},
        {57637,
         kEdit,
         "&Paste\tCtrl+V",
         {"Ctrl+V", "Shift+Ins"},
         0,
         nullptr,
         "Insert Clipboard contents\nPaste",
         R::Never,
         false},
        {ID_CONFIG,
         kEdit,
         "&Настройки",
         {nullptr, nullptr},
         10,
         OnRecord<&CRecordCommands::OnConfig>,
         "Настроить параметры документа\nНастройка",
         R::NotSending,
         false},
        {ID_EKARD,
         kData,
         "Прием данных от кардиографа",
         {"Ctrl+Return", "Ctrl+Enter"},
         4,
         OnEkard,
         "Начать или закончить прием данных от кардиографа\nПередача данных от кардиографа",
         R::NotSending,
         false},
        {ID_DEFINE_CURVES,
         kData,
         "Редактировать описание",
         {nullptr, nullptr},
         5,
         OnRecord<&CRecordCommands::OnDefineCurves>,
         "Допавить или изменить описание к записи\nОписание",
         R::NotSending,
         false},
        {ID_EXPORT,
         kData,
         "Сохранить в файл",
         {nullptr, nullptr},
         6,
         OnRecord<&CRecordCommands::OnExport>,
         "Сохранить запись на диске\nСохранить",
         R::Loaded,
         false},
        {ID_SEND_EMAIL,
         kData,
         "Отправить по E-Mail",
         {nullptr, nullptr},
         7,
         OnRecord<&CRecordCommands::OnSendEmail>,
         "Отправить запись в электронном письме\nОтправить",
         R::LoadedNotSending,
         true},
        {ID_EXPORT_SCP,
         kData,
         "Сохранить в SCP файл",
         {nullptr, nullptr},
         8,
         OnRecord<&CRecordCommands::OnExportScp>,
         "Сохранить файл SCP на диске\nСохранить",
         R::Loaded,
         false},
        {ID_SEND_EMAIL_SCP,
         kData,
         "Отправить SCP по E-Mail",
         {nullptr, nullptr},
         9,
         OnRecord<&CRecordCommands::OnSendEmailScp>,
         "Отправить файл SCP в электронном письме\nОтправить",
         R::LoadedNotSending,
         false},
        {ID_SEND_EMAIL_DICOM,
         kData,
         "Отправить DICOM по E-Mail",
         {nullptr, nullptr},
         0,
         OnRecord<&CRecordCommands::OnSendEmailDicom>,
         "Отправить запись как DICOM ЭКГ в электронном письме\nОтправить",
         R::LoadedNotSending,
         false},
        {ID_SEND_PACS,
         kData,
         "Отправить в PACS",
         {nullptr, nullptr},
         0,
         OnRecord<&CRecordCommands::OnSendPacs>,
         "Отправить запись в архив больницы (PACS) как DICOM ЭКГ; Esc прерывает\nОтправить в PACS",
         R::LoadedNotSending,
         false},
        {ID_SEND_HIS,
         kData,
         "Отправить результат в МИС",
         {nullptr, nullptr},
         0,
         OnRecord<&CRecordCommands::OnSendHis>,
         "Отправить результат (измерения, заключение и отчёт) в медицинскую информационную "
         "систему больницы по HL7; Esc прерывает\nОтправить в МИС",
         R::LoadedNotSending,
         false},
        {ID_VIEW_TOOLBAR,
         kView,
         "&Панель инструментов",
         {nullptr, nullptr},
         0,
         nullptr,
         "Показать или спрятать панель инструментов\nПереключить панель инструментов",
         R::Never,
         false},
        {ID_VIEW_STATUS_BAR,
         kView,
         "&Статусная строка",
         {nullptr, nullptr},
         0,
         [](CMainFrame& f) { f.statusBar()->setVisible(f.statusBar()->isHidden()); },
         "Показать или спрятать статусную строку\nПереключить статусную строку",
         R::Always,
         false},
        {ID_WINDOW_CASCADE,
         kWindows,
         "&Каскадом",
         {nullptr, nullptr},
         0,
         [](CMainFrame& f) { f.MdiArea()->cascadeSubWindows(); },
         "Выстроить окна каскадом\nКаскадом",
         R::NeedsWindow,
         false},
        {ID_WINDOW_TILE_HORZ,
         kWindows,
         "&Замостить",
         {nullptr, nullptr},
         0,
         [](CMainFrame& f) { f.MdiArea()->tileSubWindows(); },
         "Замостить окно горизонтально\nЗамостить",
         R::NeedsWindow,
         false},
        {ID_WINDOW_ARRANGE,
         kWindows,
         "&Выстроить",
         {nullptr, nullptr},
         0,
         OnArrange,
         "Выстроить Значки внизу окна\nВыстроить значки",
         R::NeedsWindow,
         false},
        {ID_ARCHIVE,
         kArchive,
         "&Пациенты...\tCtrl+Shift+A",
         {"Ctrl+Shift+A", nullptr},
         3,
         [](CMainFrame& f) { f.OnArchive(); },
         "Архив: все записи всех пациентов, поиск по фамилии и номеру карты\nАрхив",
         R::Always,
         false},
        {ID_ARCHIVE_IMPORT,
         kArchive,
         "&Импорт папки...",
         {nullptr, nullptr},
         0,
         [](CMainFrame& f) { f.OnArchiveImport(); },
         "Добавить в архив все записи из папки и её подпапок\nИмпорт папки",
         R::Always,
         false},
        {ID_HIS_OUTBOX,
         kArchive,
         "&Очередь результатов для МИС...",
         {nullptr, nullptr},
         0,
         [](CMainFrame& f) { f.OnHisOutbox(); },
         "Результаты, которые медицинская информационная система ещё не приняла: отправить "
         "снова или удалить\nОчередь для МИС",
         R::Always,
         false},
        {ID_NEW_DOCTOR,
         kArchive,
         "&Новый врач...",
         {nullptr, nullptr},
         0,
         [](CMainFrame& f) { f.OnNewDoctor(); },
         "Создать учётную запись врача, который подтверждает заключения\nНовый врач",
         R::Always,
         false},
        {ID_READING,
         kArchive,
         "&Заключение...",
         {nullptr, nullptr},
         0,
         [](CMainFrame& f) { f.OnReading(); },
         "Заключение врача по записи: утверждения, подтверждение и изменения\nЗаключение",
         R::LoadedNotSending,
         false},
        {ID_COMPARE_PREVIOUS,
         kArchive,
         "&Сравнить с предыдущей ЭКГ",
         {nullptr, nullptr},
         0,
         [](CMainFrame& f) { f.OnComparePrevious(); },
         "Сравнить запись с предыдущей ЭКГ этого пациента из архива: обе записи, усреднённые "
         "комплексы, измерения и динамика\nСравнить с предыдущей ЭКГ",
         R::ArchivedWithPrevious,
         false},
        {ID_APP_ABOUT,
         kHelp,
         "&О программе...",
         {nullptr, nullptr},
         11,
         [](CMainFrame& f) { CAboutDlg(&f).exec(); },
         "Информация о программе. Версия. Копирайты\nО программе...",
         R::Always,
         false},
        {57680,
         nullptr,
         nullptr,
         {"F6", nullptr},
         0,
         [](CMainFrame& f) { f.MdiArea()->activateNextSubWindow(); },
         "Switch to the next window pane\nNext Pane",
         R::Always,
         false},
        {57681,
         nullptr,
         nullptr,
         {"Shift+F6", nullptr},
         0,
         [](CMainFrame& f) { f.MdiArea()->activatePreviousSubWindow(); },
         "Switch back to the previous window pane\nPrevious Pane",
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
        return "Сравнение недоступно: нет записи в окне";
    if (!ctx.archived)
        return "Сравнение недоступно: записи нет в архиве";
    return "Сравнение недоступно: в архиве нет более ранней записи этого пациента";
}
