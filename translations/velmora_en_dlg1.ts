<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="ru_RU">
<context>
    <name>CArchiveDlg</name>
    <message>
        <source>Архив</source>
        <translation>Archive</translation>
    </message>
    <message>
        <source>Фамилия или номер карты</source>
        <translation>Surname or card number</translation>
    </message>
    <message>
        <source>Корзина</source>
        <translation>Recycle bin</translation>
    </message>
    <message>
        <source>Удалённые записи: они хранятся %1 дней</source>
        <translation>Deleted records: they are kept for %1 days</translation>
    </message>
    <message>
        <source>не подтверждены</source>
        <translation>unconfirmed</translation>
    </message>
    <message>
        <source>Только записи, заключение которых не подтверждено врачом</source>
        <translation>Only records whose interpretation a physician has not confirmed</translation>
    </message>
    <message>
        <source>с</source>
        <translation>from</translation>
    </message>
    <message>
        <source>по</source>
        <translation>to</translation>
    </message>
    <message>
        <source>Пациент</source>
        <translation>Patient</translation>
    </message>
    <message>
        <source>Дата рождения</source>
        <translation>Date of birth</translation>
    </message>
    <message>
        <source>Номер карты</source>
        <translation>Card number</translation>
    </message>
    <message>
        <source>Записей</source>
        <translation>Records</translation>
    </message>
    <message>
        <source>Дата</source>
        <translation>Date</translation>
    </message>
    <message>
        <source>Тип</source>
        <translation>Type</translation>
    </message>
    <message>
        <source>Аппарат</source>
        <translation>Device</translation>
    </message>
    <message>
        <source>ЧСС</source>
        <translation>HR</translation>
    </message>
    <message>
        <source>QRS, мс</source>
        <translation>QRS, ms</translation>
    </message>
    <message>
        <source>QTc, мс</source>
        <translation>QTc, ms</translation>
    </message>
    <message>
        <source>Заключение</source>
        <translation>Interpretation</translation>
    </message>
    <message>
        <source>Файл</source>
        <translation>File</translation>
    </message>
    <message>
        <source>Открыть</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>Экспорт...</source>
        <translation>Export...</translation>
    </message>
    <message>
        <source>Удалить</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>Импорт папки...</source>
        <translation>Import folder...</translation>
    </message>
    <message>
        <source>Закрыть</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>Сравнить с предыдущей</source>
        <translation>Compare with previous</translation>
    </message>
    <message>
        <source>Прежние ЭКГ из PACS...</source>
        <translation>Prior ECGs from PACS...</translation>
    </message>
    <message>
        <source>Восстановить</source>
        <translation>Restore</translation>
    </message>
    <message>
        <source>Импортировано: %1, уже в архиве: %2, не принято: %3.</source>
        <translation>Imported: %1, already in the archive: %2, rejected: %3.</translation>
    </message>
    <message>
        <source>Импорт прерван.</source>
        <translation>Import cancelled.</translation>
    </message>
    <message>
        <source>Импорт не закончен: %1</source>
        <translation>Import not completed: %1</translation>
    </message>
    <message>
        <source>и ещё %1</source>
        <translation>and %1 more</translation>
    </message>
    <message>
        <source>Архив не открыт: %1</source>
        <translation>The archive could not be opened: %1</translation>
    </message>
    <message>
        <source>Поиск в архиве не удался: %1</source>
        <translation>Archive search failed: %1</translation>
    </message>
    <message>
        <source>(без карточки)</source>
        <translation>(no patient card)</translation>
    </message>
    <message>
        <source>Ничего не найдено.</source>
        <translation>Nothing found.</translation>
    </message>
    <message>
        <source>подтверждено: %1, %2</source>
        <translation>confirmed: %1, %2</translation>
    </message>
    <message>
        <source>не подтверждено врачом</source>
        <translation>not confirmed by a physician</translation>
    </message>
    <message>
        <source>ЭКГ</source>
        <translation>ECG</translation>
    </message>
    <message>
        <source>Экспорт записи</source>
        <translation>Export record</translation>
    </message>
    <message>
        <source>Запись не экспортирована: %1</source>
        <translation>The record was not exported: %1</translation>
    </message>
    <message>
        <source>Запись сохранена: %1</source>
        <translation>Record saved: %1</translation>
    </message>
    <message>
        <source>Удалить запись из архива? Она пролежит в корзине %1 дней, потом будет стёрта.</source>
        <translation>Delete the record from the archive? It stays in the recycle bin for %1 days, then it is erased.</translation>
    </message>
    <message>
        <source>Запись не восстановлена: %1</source>
        <translation>The record was not restored: %1</translation>
    </message>
    <message>
        <source>Запись не удалена: %1</source>
        <translation>The record was not deleted: %1</translation>
    </message>
    <message>
        <source>Запись восстановлена.</source>
        <translation>Record restored.</translation>
    </message>
    <message>
        <source>Запись перенесена в корзину.</source>
        <translation>Record moved to the recycle bin.</translation>
    </message>
    <message>
        <source>Импорт папки в архив</source>
        <translation>Import a folder into the archive</translation>
    </message>
    <message>
        <source>Импорт папки</source>
        <translation>Folder import</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Записи из %1</source>
        <translation>Records from %1</translation>
    </message>
</context>
<context>
    <name>CComparisonDlg</name>
    <message>
        <source>Сравнение с предыдущей ЭКГ</source>
        <translation>Comparison with the previous ECG</translation>
    </message>
    <message>
        <source>Запись пациента, с которой сравнивается текущая</source>
        <translation>The patient&apos;s record the current one is compared with</translation>
    </message>
    <message>
        <source>%1 мм/с</source>
        <translation>%1 mm/s</translation>
    </message>
    <message>
        <source>%1 мм/мВ</source>
        <translation>%1 mm/mV</translation>
    </message>
    <message>
        <source>Фильтры: %1</source>
        <translation>Filters: %1</translation>
    </message>
    <message>
        <source>нет</source>
        <translation>none</translation>
    </message>
    <message>
        <source>Сравнить с:</source>
        <translation>Compare with:</translation>
    </message>
    <message>
        <source>Скорость</source>
        <translation>Speed</translation>
    </message>
    <message>
        <source>Усиление</source>
        <translation>Gain</translation>
    </message>
    <message>
        <source>Усреднённые комплексы:</source>
        <translation>Median beats:</translation>
    </message>
    <message>
        <source>━━ текущая ЭКГ</source>
        <translation>━━ current ECG</translation>
    </message>
    <message>
        <source>━━ предыдущая ЭКГ</source>
        <translation>━━ previous ECG</translation>
    </message>
    <message>
        <source>Показатель</source>
        <translation>Measurement</translation>
    </message>
    <message>
        <source>Предыдущая</source>
        <translation>Previous</translation>
    </message>
    <message>
        <source>Текущая</source>
        <translation>Current</translation>
    </message>
    <message>
        <source>Разница</source>
        <translation>Difference</translation>
    </message>
    <message>
        <source>Сохранить отчёт в PDF...</source>
        <translation>Save report as PDF...</translation>
    </message>
    <message>
        <source>Закрыть</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>В архиве нет более ранней записи этого пациента</source>
        <translation>The archive holds no earlier record of this patient</translation>
    </message>
    <message>
        <source>Сравнение с предыдущей ЭКГ: %1</source>
        <translation>Comparison with the previous ECG: %1</translation>
    </message>
    <message>
        <source>без карточки</source>
        <translation>no patient card</translation>
    </message>
    <message>
        <source>Предыдущая ЭКГ: %1</source>
        <translation>Previous ECG: %1</translation>
    </message>
    <message>
        <source>Текущая ЭКГ: %1</source>
        <translation>Current ECG: %1</translation>
    </message>
    <message>
        <source>Нет сравнения для отчёта</source>
        <translation>There is no comparison to report</translation>
    </message>
    <message>
        <source>Отчёт о сравнении не сохранён: %1</source>
        <translation>The comparison report was not saved: %1</translation>
    </message>
    <message>
        <source>Отчёт о сравнении сохранён: %1</source>
        <translation>Comparison report saved: %1</translation>
    </message>
    <message>
        <source>Сравнение ЭКГ %1 %2.pdf</source>
        <translation>ECG comparison %1 %2.pdf</translation>
    </message>
    <message>
        <source>Сохранить отчёт о сравнении</source>
        <translation>Save comparison report</translation>
    </message>
    <message>
        <source>PDF (*.pdf)</source>
        <translation>PDF (*.pdf)</translation>
    </message>
</context>
<context>
    <name>CHisOutboxDlg</name>
    <message>
        <source>Отправить сейчас</source>
        <translation>Send now</translation>
    </message>
    <message>
        <source>Остановить</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>Удалить...</source>
        <translation>Delete...</translation>
    </message>
    <message>
        <source>Очередь результатов для МИС</source>
        <translation>HIS results queue</translation>
    </message>
    <message>
        <source>Сообщение</source>
        <translation>Message</translation>
    </message>
    <message>
        <source>Сохранено</source>
        <translation>Kept</translation>
    </message>
    <message>
        <source>Размер</source>
        <translation>Size</translation>
    </message>
    <message>
        <source>Закрыть</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>Результаты, которые информационная система больницы ещё не приняла. Они хранятся, пока система их не подтвердит.</source>
        <translation>Results the hospital information system has not accepted yet. They are kept until the system acknowledges them.</translation>
    </message>
    <message>
        <source>%1 КБ</source>
        <translation>%1 KB</translation>
    </message>
    <message>
        <source>Очередь пуста.</source>
        <translation>The queue is empty.</translation>
    </message>
    <message>
        <source>Ждут отправки: %1.</source>
        <translation>Waiting to be sent: %1.</translation>
    </message>
    <message>
        <source>Не задан сервер МИС: укажите его в настройках (страница PACS, раздел МИС).</source>
        <translation>No HIS server is set: enter it in the settings (PACS page, HIS section).</translation>
    </message>
    <message>
        <source>%1: принято</source>
        <translation>%1: accepted</translation>
    </message>
    <message>
        <source>%1: не доставлено (%2)</source>
        <translation>%1: not delivered (%2)</translation>
    </message>
    <message>
        <source>Отправка остановлена.</source>
        <translation>Sending stopped.</translation>
    </message>
    <message>
        <source>Идёт отправка в МИС...</source>
        <translation>Sending to the HIS...</translation>
    </message>
    <message>
        <source>Сообщение не удалено: %1</source>
        <translation>The message was not deleted: %1</translation>
    </message>
    <message>
        <source>Удалить сообщение из очереди? Информационная система больницы его не получит.</source>
        <translation>Delete the message from the queue? The hospital information system will not receive it.</translation>
    </message>
</context>
<context>
    <name>CPriorsDlg</name>
    <message>
        <source>Прежние ЭКГ из PACS</source>
        <translation>Prior ECGs from PACS</translation>
    </message>
    <message>
        <source>Пациент: %1, идентификатор %2</source>
        <translation>Patient: %1, ID %2</translation>
    </message>
    <message>
        <source>Дата</source>
        <translation>Date</translation>
    </message>
    <message>
        <source>Пациент</source>
        <translation>Patient</translation>
    </message>
    <message>
        <source>Дата рождения</source>
        <translation>Date of birth</translation>
    </message>
    <message>
        <source>Пол</source>
        <translation>Sex</translation>
    </message>
    <message>
        <source>Номер обращения</source>
        <translation>Accession number</translation>
    </message>
    <message>
        <source>ЭКГ</source>
        <translation>ECGs</translation>
    </message>
    <message>
        <source>Искать снова</source>
        <translation>Search again</translation>
    </message>
    <message>
        <source>Загрузить в архив</source>
        <translation>Fetch into archive</translation>
    </message>
    <message>
        <source>Закрыть</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>Отменено.</source>
        <translation>Cancelled.</translation>
    </message>
    <message>
        <source>Загрузка из PACS не удалась: %1</source>
        <translation>Fetching from PACS failed: %1</translation>
    </message>
    <message>
        <source>Поиск в PACS не удался: %1</source>
        <translation>PACS search failed: %1</translation>
    </message>
    <message>
        <source>Получено ЭКГ: %1; все уже в архиве, ничего не добавлено.</source>
        <translation>ECGs received: %1; all are already in the archive, nothing was added.</translation>
    </message>
    <message>
        <source>Получено ЭКГ: %1; добавлено в архив: %2, уже в архиве: %3.</source>
        <translation>ECGs received: %1; added to the archive: %2, already in the archive: %3.</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Поиск ЭКГ пациента в PACS...</source>
        <translation>Searching PACS for the patient&apos;s ECGs...</translation>
    </message>
    <message>
        <source>Загрузка ЭКГ из PACS в архив (исследований: %1)...</source>
        <translation>Fetching ECGs from PACS into the archive (studies: %1)...</translation>
    </message>
    <message>
        <source>муж.</source>
        <translation>male</translation>
    </message>
    <message>
        <source>жен.</source>
        <translation>female</translation>
    </message>
    <message>
        <source>В PACS нет ЭКГ этого пациента.</source>
        <translation>PACS has no ECGs of this patient.</translation>
    </message>
    <message>
        <source>Найдено исследований с ЭКГ: %1. Выберите нужные и нажмите «Загрузить в архив».</source>
        <translation>Studies with ECGs found: %1. Select the ones you need and click “Fetch into archive”.</translation>
    </message>
</context>
<context>
    <name>CWorklistDlg</name>
    <message>
        <source>Рабочий список</source>
        <translation>Worklist</translation>
    </message>
    <message>
        <source>Дата:</source>
        <translation>Date:</translation>
    </message>
    <message>
        <source>Обновить</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <source>ФИО</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Идентификатор</source>
        <translation>Patient ID</translation>
    </message>
    <message>
        <source>Дата рождения</source>
        <translation>Date of birth</translation>
    </message>
    <message>
        <source>Пол</source>
        <translation>Sex</translation>
    </message>
    <message>
        <source>Номер направления</source>
        <translation>Accession number</translation>
    </message>
    <message>
        <source>Процедура</source>
        <translation>Procedure</translation>
    </message>
    <message>
        <source>Время</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>Выбрать</source>
        <translation>Select</translation>
    </message>
    <message>
        <source>Закрыть</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>Рабочий список недоступен: %1. Задайте сервер в «Настройки» &gt; «PACS».</source>
        <translation>Worklist unavailable: %1. Set the server in “Settings” &gt; “PACS”.</translation>
    </message>
    <message>
        <source>Запрос рабочего списка у %1:%2…</source>
        <translation>Querying the worklist at %1:%2…</translation>
    </message>
    <message>
        <source>Ошибка рабочего списка: %1</source>
        <translation>Worklist error: %1</translation>
    </message>
    <message>
        <source>Направлений на %1: %2 (обновлено в %3)</source>
        <translation>Orders for %1: %2 (updated at %3)</translation>
    </message>
    <message>
        <source>м</source>
        <translation>M</translation>
    </message>
    <message>
        <source>ж</source>
        <translation>F</translation>
    </message>
</context>
</TS>
