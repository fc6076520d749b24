<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="ru_RU">
<context>
    <name>CAboutDlg</name>
    <message>
        <source>О программе velmora</source>
        <translation>About velmora</translation>
    </message>
    <message>
        <source>velmora, версия %1</source>
        <translation>velmora, version %1</translation>
    </message>
    <message>
        <source>Программа приема и передачи ЭКГ портативного кардиографа</source>
        <translation>Receives and sends ECGs of the portable electrocardiograph</translation>
    </message>
</context>
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
    <name>CBalloonHelp</name>
    <message>
        <source>Внимание!</source>
        <translation>Attention!</translation>
    </message>
    <message>
        <source>Сообщение</source>
        <translation>Message</translation>
    </message>
</context>
<context>
    <name>CChartRenderer</name>
    <message>
        <source>отведение отсутствует в записи</source>
        <translation>lead not in the record</translation>
    </message>
</context>
<context>
    <name>CChildFrame</name>
    <message>
        <source>новая кардиограмма</source>
        <translation>new cardiogram</translation>
    </message>
    <message>
        <source>Начать новый приём</source>
        <translation>Start a new reception</translation>
    </message>
    <message>
        <source>Закрыть окно</source>
        <translation>Close the window</translation>
    </message>
</context>
<context>
    <name>CChildView</name>
    <message>
        <source>Заключение: %1. Подтверждено: %2, %3</source>
        <translation>Interpretation: %1. Confirmed: %2, %3</translation>
    </message>
    <message>
        <source>Автоматическое заключение (не подтверждено врачом): %1.</source>
        <translation>Automatic interpretation (not confirmed by a physician): %1.</translation>
    </message>
    <message>
        <source>сетевой фильтр %1 Гц</source>
        <translation>mains filter %1 Hz</translation>
    </message>
    <message>
        <source>ЧСС %1 уд/мин (по монитору)</source>
        <translation>HR %1 bpm (from the monitor)</translation>
    </message>
    <message>
        <source>ЧСС: комплексы QRS не найдены (по монитору)</source>
        <translation>HR: no QRS complexes found (from the monitor)</translation>
    </message>
    <message>
        <source>Запись не сохранена в папку принятых: %1</source>
        <translation>The record was not saved to the received folder: %1</translation>
    </message>
    <message>
        <source>Не удалось открыть порт %1</source>
        <translation>Could not open port %1</translation>
    </message>
    <message>
        <source>Порт недоступен: %1
Повторное подключение каждую секунду…</source>
        <translation>Port unavailable: %1
Reconnecting every second…</translation>
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
    <name>CCurvesDefinitionDlg</name>
    <message>
        <source>Информация о записи (заполните все поля)*</source>
        <translation>Recording information (fill in all fields)*</translation>
    </message>
    <message>
        <source>Ф.И.О.</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Телефон</source>
        <translation>Phone</translation>
    </message>
    <message>
        <source>Фамилия</source>
        <translation>Last name</translation>
    </message>
    <message>
        <source>Имя</source>
        <translation>First name</translation>
    </message>
    <message>
        <source>Отчество</source>
        <translation>Middle name</translation>
    </message>
    <message>
        <source>Номер карты</source>
        <translation>Medical record no.</translation>
    </message>
    <message>
        <source>муж.</source>
        <translation>Male</translation>
    </message>
    <message>
        <source>жен.</source>
        <translation>Female</translation>
    </message>
    <message>
        <source>Вес</source>
        <translation>Weight</translation>
    </message>
    <message>
        <source>Рост</source>
        <translation>Height</translation>
    </message>
    <message>
        <source>Дата рождения</source>
        <translation>Date of birth</translation>
    </message>
    <message>
        <source>Почтовый код</source>
        <translation>Postal code</translation>
    </message>
    <message>
        <source>Область</source>
        <translation>Region</translation>
    </message>
    <message>
        <source>Район</source>
        <translation>District</translation>
    </message>
    <message>
        <source>Нас. пункт</source>
        <translation>Locality</translation>
    </message>
    <message>
        <source>Улица</source>
        <translation>Street</translation>
    </message>
    <message>
        <source>Дом</source>
        <translation>House</translation>
    </message>
    <message>
        <source>Время проживания (лет)</source>
        <translation>Years at address</translation>
    </message>
    <message>
        <source>«%1»: символ «%2» нельзя сохранить в записи — его нет в кодировке Windows-1251.</source>
        <translation>“%1”: the character “%2” cannot be stored in the recording because Windows-1251 encoding does not have it.</translation>
    </message>
    <message>
        <source>Информация о записи</source>
        <translation>Recording information</translation>
    </message>
    <message>
        <source>«%1»: не более %2 знаков.</source>
        <translation>“%1”: no more than %2 characters.</translation>
    </message>
    <message>
        <source>Врач</source>
        <translation>Doctor</translation>
    </message>
    <message>
        <source>Пациент</source>
        <translation>Patient</translation>
    </message>
    <message>
        <source>не указана</source>
        <translation>not set</translation>
    </message>
    <message>
        <source>Адрес</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>Применить</source>
        <translation>Apply</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>«%1»: число должно быть от %2 до %3.</source>
        <translation>“%1”: the number must be from %2 to %3.</translation>
    </message>
    <message>
        <source>Ф.И.О. врача</source>
        <translation>Doctor&apos;s name</translation>
    </message>
    <message>
        <source>Телефон врача</source>
        <translation>Doctor&apos;s phone</translation>
    </message>
    <message>
        <source>Пол</source>
        <translation>Sex</translation>
    </message>
    <message>
        <source>«%1»</source>
        <translation>“%1”</translation>
    </message>
    <message>
        <source>Для сохранения и отправки не заполнено: %1.</source>
        <translation>Fill in before saving and sending: %1.</translation>
    </message>
</context>
<context>
    <name>CDlg1ComPort</name>
    <message>
        <source>Атрибуты организации</source>
        <translation>Organization details</translation>
    </message>
    <message>
        <source>Com - порт</source>
        <translation>COM port</translation>
    </message>
    <message>
        <source>Автоматическое заключение</source>
        <translation>Automatic interpretation</translation>
    </message>
    <message>
        <source>60-90 в минуту (российская практика)</source>
        <translation>60-90 per minute (Russian practice)</translation>
    </message>
    <message>
        <source>50-100 в минуту (рекомендации AHA)</source>
        <translation>50-100 per minute (AHA recommendations)</translation>
    </message>
    <message>
        <source>Нормальная частота синусового ритма</source>
        <translation>Normal sinus rate</translation>
    </message>
    <message>
        <source>Последовательные порты не найдены.</source>
        <translation>No serial ports found.</translation>
    </message>
    <message>
        <source>COM%1  (нет в системе)</source>
        <translation>COM%1  (not present)</translation>
    </message>
    <message>
        <source>Язык интерфейса</source>
        <translation>Interface language</translation>
    </message>
    <message>
        <source>Как в системе</source>
        <translation>As in the system</translation>
    </message>
    <message>
        <source>Язык сменится при следующем запуске программы.</source>
        <translation>The language changes the next time the program starts.</translation>
    </message>
</context>
<context>
    <name>CDlgArchiveCfg</name>
    <message>
        <source>Заносить в архив каждую принятую, открытую и сохранённую запись</source>
        <translation>Archive every recording that is acquired, opened or saved</translation>
    </message>
    <message>
        <source>Общий архив клиники на сервере PostgreSQL</source>
        <translation>Shared clinic archive on a PostgreSQL server</translation>
    </message>
    <message>
        <source>Архив на этом компьютере</source>
        <translation>Archive on this computer</translation>
    </message>
    <message>
        <source>по умолчанию: ~/.local/share/velmora/archive.sqlite</source>
        <translation>default: ~/.local/share/velmora/archive.sqlite</translation>
    </message>
    <message>
        <source>Файл архива</source>
        <translation>Archive file</translation>
    </message>
    <message>
        <source>Общий архив</source>
        <translation>Shared archive</translation>
    </message>
    <message>
        <source>как решит сервер</source>
        <translation>as the server decides</translation>
    </message>
    <message>
        <source>Сервер</source>
        <translation>Server</translation>
    </message>
    <message>
        <source>Порт</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>База данных</source>
        <translation>Database</translation>
    </message>
    <message>
        <source>Пользователь</source>
        <translation>User</translation>
    </message>
    <message>
        <source>Пароль</source>
        <translation>Password</translation>
    </message>
    <message>
        <source>Шифрование (sslmode)</source>
        <translation>Encryption (sslmode)</translation>
    </message>
    <message>
        <source>Архив</source>
        <translation>Archive</translation>
    </message>
</context>
<context>
    <name>CDlgMailCfg</name>
    <message>
        <source>Разрешить отправлять письма</source>
        <translation>Allow sending e-mail</translation>
    </message>
    <message>
        <source>Настройки SMTP</source>
        <translation>SMTP settings</translation>
    </message>
    <message>
        <source>Использовать SSL кодирование</source>
        <translation>Use SSL encryption</translation>
    </message>
    <message>
        <source>Сервер SMTP</source>
        <translation>SMTP server</translation>
    </message>
    <message>
        <source>Порт SMTP</source>
        <translation>SMTP port</translation>
    </message>
    <message>
        <source>Имя ящика</source>
        <translation>Mailbox name</translation>
    </message>
    <message>
        <source>Пароль</source>
        <translation>Password</translation>
    </message>
</context>
<context>
    <name>CDlgPacsCfg</name>
    <message>
        <source>Архив изображений (PACS)</source>
        <translation>Image archive (PACS)</translation>
    </message>
    <message>
        <source>AE-титул PACS</source>
        <translation>PACS AE title</translation>
    </message>
    <message>
        <source>Адрес PACS</source>
        <translation>PACS address</translation>
    </message>
    <message>
        <source>Порт DICOM</source>
        <translation>DICOM port</translation>
    </message>
    <message>
        <source>Свой AE-титул</source>
        <translation>Own AE title</translation>
    </message>
    <message>
        <source>Проверить связь</source>
        <translation>Test connection</translation>
    </message>
    <message>
        <source>Рабочий список (DICOM Modality Worklist)</source>
        <translation>Worklist (DICOM Modality Worklist)</translation>
    </message>
    <message>
        <source>AE-титул сервера</source>
        <translation>Server AE title</translation>
    </message>
    <message>
        <source>Адрес сервера</source>
        <translation>Server address</translation>
    </message>
    <message>
        <source>Медицинская информационная система (HL7)</source>
        <translation>Hospital information system (HL7)</translation>
    </message>
    <message>
        <source>Адрес МИС</source>
        <translation>HIS address</translation>
    </message>
    <message>
        <source>Порт MLLP</source>
        <translation>MLLP port</translation>
    </message>
    <message>
        <source>Связь с PACS есть.</source>
        <translation>PACS connection OK.</translation>
    </message>
    <message>
        <source>Нет связи с PACS: %1</source>
        <translation>No connection to PACS: %1</translation>
    </message>
    <message>
        <source>Проверка связи…</source>
        <translation>Testing connection…</translation>
    </message>
</context>
<context>
    <name>CEcgDocument</name>
    <message>
        <source>%1 с</source>
        <translation>%1 s</translation>
    </message>
    <message>
        <source>%1 мин</source>
        <translation>%1 min</translation>
    </message>
    <message>
        <source>%1 ч %2 мин</source>
        <translation>%1 h %2 min</translation>
    </message>
    <message>
        <source>%1 ч</source>
        <translation>%1 h</translation>
    </message>
    <message>
        <source> (первые 10 с из %1)</source>
        <translation> (first 10 s of %1)</translation>
    </message>
    <message>
        <source>ЭКГ</source>
        <translation>ECG</translation>
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
    <name>CMainFrame</name>
    <message>
        <source>Открытие записи</source>
        <translation>Opening a record</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Открытие файла «%1»…</source>
        <translation>Opening file “%1”…</translation>
    </message>
    <message>
        <source>Готово</source>
        <translation>Ready</translation>
    </message>
    <message>
        <source>ПРОП</source>
        <comment>Caps Lock indicator</comment>
        <translation>CAP</translation>
    </message>
    <message>
        <source>ЦИФР</source>
        <comment>Num Lock indicator</comment>
        <translation>NUM</translation>
    </message>
    <message>
        <source>ПРКР</source>
        <comment>Scroll Lock indicator</comment>
        <translation>SCRL</translation>
    </message>
    <message>
        <source>Архив: %1</source>
        <translation>Archive: %1</translation>
    </message>
    <message>
        <source>Запись не добавлена в архив: %1</source>
        <translation>The record was not added to the archive: %1</translation>
    </message>
    <message>
        <source>Архив не открыт: %1</source>
        <translation>The archive did not open: %1</translation>
    </message>
    <message>
        <source>Запись из архива не открыта: %1</source>
        <translation>The archived record did not open: %1</translation>
    </message>
    <message>
        <source>Архив: %1 %2</source>
        <translation>Archive: %1 %2</translation>
    </message>
    <message>
        <source>без карточки</source>
        <translation>no patient card</translation>
    </message>
    <message>
        <source>Сравнение недоступно: архив не открыт: %1</source>
        <translation>Comparison unavailable: the archive did not open: %1</translation>
    </message>
    <message>
        <source>Сравнение не открыто: %1</source>
        <translation>The comparison did not open: %1</translation>
    </message>
    <message>
        <source>Учётная запись %1 создана.</source>
        <translation>Account %1 created.</translation>
    </message>
    <message>
        <source>Создать учётную запись врача...</source>
        <translation>Create a physician account...</translation>
    </message>
    <message>
        <source>В архиве ещё нет врачей: заключение подтверждает врач под своим именем и паролем</source>
        <translation>The archive has no physicians yet: an interpretation is confirmed by a physician under their own name and password</translation>
    </message>
    <message>
        <source>Заключение подтверждается для записи в архиве; эта запись ещё не в нём</source>
        <translation>An interpretation is confirmed for a record in the archive; this record is not in it yet</translation>
    </message>
    <message>
        <source>Не удалось открыть %1: %2</source>
        <translation>Could not open %1: %2</translation>
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
    <name>CReadingDlg</name>
    <message>
        <source>Новый врач</source>
        <translation>New doctor</translation>
    </message>
    <message>
        <source>Имя для входа (латиницей)</source>
        <translation>Login name (Latin letters)</translation>
    </message>
    <message>
        <source>ФИО</source>
        <translation>Full name</translation>
    </message>
    <message>
        <source>Должность</source>
        <translation>Position</translation>
    </message>
    <message>
        <source>Пароль (не короче %1 знаков)</source>
        <translation>Password (at least %1 characters)</translation>
    </message>
    <message>
        <source>Пароль ещё раз</source>
        <translation>Repeat password</translation>
    </message>
    <message>
        <source>Создать</source>
        <translation>Create</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Пароли не совпадают.</source>
        <translation>The passwords do not match.</translation>
    </message>
    <message>
        <source>Учётная запись не создана: %1</source>
        <translation>Account not created: %1</translation>
    </message>
    <message>
        <source>Заключение</source>
        <translation>Interpretation</translation>
    </message>
    <message>
        <source>Снимите отметку, чтобы убрать утверждение из заключения</source>
        <translation>Clear the check box to remove the statement from the interpretation</translation>
    </message>
    <message>
        <source>Найти утверждение</source>
        <translation>Find a statement</translation>
    </message>
    <message>
        <source>Добавить</source>
        <translation>Add</translation>
    </message>
    <message>
        <source>Заключение врача своими словами</source>
        <translation>The doctor&apos;s conclusion in free text</translation>
    </message>
    <message>
        <source>Причина изменения</source>
        <translation>Reason for change</translation>
    </message>
    <message>
        <source>Новый врач...</source>
        <translation>New doctor...</translation>
    </message>
    <message>
        <source>Врач</source>
        <translation>Doctor</translation>
    </message>
    <message>
        <source>Пароль</source>
        <translation>Password</translation>
    </message>
    <message>
        <source>Подтвердить</source>
        <translation>Confirm</translation>
    </message>
    <message>
        <source>Сохранить черновик</source>
        <translation>Save draft</translation>
    </message>
    <message>
        <source>Закрыть</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>Утверждения</source>
        <translation>Statements</translation>
    </message>
    <message>
        <source>Заключение врача</source>
        <translation>Doctor&apos;s conclusion</translation>
    </message>
    <message>
        <source>Подтверждённые версии</source>
        <translation>Confirmed versions</translation>
    </message>
    <message>
        <source>Архив не открыт: %1</source>
        <translation>The archive is not open: %1</translation>
    </message>
    <message>
        <source>Заключение не прочитано из архива: %1</source>
        <translation>The interpretation could not be read from the archive: %1</translation>
    </message>
    <message>
        <source>Подтверждено: %1, %2 (версия %3)</source>
        <translation>Confirmed: %1, %2 (version %3)</translation>
    </message>
    <message>
        <source>Не подтверждено врачом</source>
        <translation>Not confirmed by a doctor</translation>
    </message>
    <message>
        <source>Внести изменение</source>
        <translation>Amend</translation>
    </message>
    <message>
        <source>&lt;b&gt;Версия %1&lt;/b&gt;: %2, %3</source>
        <translation>&lt;b&gt;Version %1&lt;/b&gt;: %2, %3</translation>
    </message>
    <message>
        <source> (причина: %1)</source>
        <translation> (reason: %1)</translation>
    </message>
    <message>
        <source>Нет</source>
        <translation>None</translation>
    </message>
    <message>
        <source>В архиве ещё нет учётных записей врачей: создайте свою кнопкой «Новый врач...».</source>
        <translation>The archive has no doctor accounts yet: create yours with “New doctor...”.</translation>
    </message>
    <message>
        <source>Выберите врача или создайте учётную запись.</source>
        <translation>Choose a doctor or create an account.</translation>
    </message>
    <message>
        <source>Не подтверждено: %1</source>
        <translation>Not confirmed: %1</translation>
    </message>
    <message>
        <source>Подтверждено: %1, %2</source>
        <translation>Confirmed: %1, %2</translation>
    </message>
    <message>
        <source>Подтверждённое заключение меняется только изменением с причиной.</source>
        <translation>A confirmed interpretation can only be changed by an amendment with a reason.</translation>
    </message>
    <message>
        <source>Черновик сохранён.</source>
        <translation>Draft saved.</translation>
    </message>
    <message>
        <source>Черновик не сохранён: %1</source>
        <translation>Draft not saved: %1</translation>
    </message>
    <message>
        <source>Учётная запись %1 создана.</source>
        <translation>Account %1 created.</translation>
    </message>
</context>
<context>
    <name>CRecordCommands</name>
    <message>
        <source>Запись отправлена в PACS %1 (%2:%3).</source>
        <translation>The record was sent to PACS %1 (%2:%3).</translation>
    </message>
    <message>
        <source>Отправка в PACS отменена: архив записи не получил.</source>
        <translation>Sending to PACS cancelled: the archive did not receive the record.</translation>
    </message>
    <message>
        <source>Не удалось отправить в PACS: %1</source>
        <translation>Could not send to PACS: %1</translation>
    </message>
    <message>
        <source>Настройки не сохранены: %1</source>
        <translation>Settings not saved: %1</translation>
    </message>
    <message>
        <source>Принятая запись не сохранена: её не удалось записать в папку принятых.</source>
        <translation>The received record is not saved: it could not be written to the received folder.</translation>
    </message>
    <message>
        <source>Карточка пациента изменена и не сохранена ни в одном файле.</source>
        <translation>The patient card was changed and is not saved in any file.</translation>
    </message>
    <message>
        <source>%1
%2 и потерять её? Чтобы сохранить, выберите «Нет» и сохраните запись.</source>
        <translation>%1
%2 and lose it? To keep it, choose “No” and save the record.</translation>
    </message>
    <message>
        <source>Запись ещё сохраняется: дождитесь конца.</source>
        <translation>The record is still being saved: wait until it finishes.</translation>
    </message>
    <message>
        <source>Не удалось напечатать отчет: принтер %1 недоступен</source>
        <translation>Could not print the report: printer %1 is unavailable</translation>
    </message>
    <message>
        <source>Документы PDF (*.pdf)</source>
        <translation>PDF documents (*.pdf)</translation>
    </message>
    <message>
        <source>Отправка в PACS невозможна: %1 (Настройки, страница PACS)</source>
        <translation>Cannot send to PACS: %1 (Settings, PACS page)</translation>
    </message>
    <message>
        <source>Отправка в МИС невозможна: не задан адрес медицинской информационной системы (Настройки, страница PACS)</source>
        <translation>Cannot send to the HIS: the hospital information system address is not set (Settings, PACS page)</translation>
    </message>
    <message>
        <source>Отправка в МИС невозможна: в карточке нет ни фамилии пациента, ни номера медицинской карты</source>
        <translation>Cannot send to the HIS: the card has neither the patient’s last name nor the medical record number</translation>
    </message>
    <message>
        <source> В очереди для МИС: %1 (Архив, Очередь результатов для МИС).</source>
        <translation> Waiting for the HIS: %1 (Archive, HIS result queue).</translation>
    </message>
    <message>
        <source>Результат принят медицинской информационной системой.</source>
        <translation>The hospital information system accepted the result.</translation>
    </message>
    <message>
        <source>Отправка в МИС остановлена; результат сохранён в очереди.</source>
        <translation>Sending to the HIS stopped; the result is kept in the queue.</translation>
    </message>
    <message>
        <source>Результат не принят МИС: %1. Он сохранён и будет отправлен снова.</source>
        <translation>The HIS did not accept the result: %1. It is kept and will be sent again.</translation>
    </message>
    <message>
        <source>не доставлены более ранние результаты</source>
        <translation>earlier results were not delivered</translation>
    </message>
</context>
<context>
    <name>CReportOptionsDlg</name>
    <message>
        <source>Параметры печати</source>
        <translation>Print options</translation>
    </message>
    <message>
        <source>12 отведений друг под другом (12x1)</source>
        <translation>12 leads one below another (12x1)</translation>
    </message>
    <message>
        <source>3x4 и ритм II (3x4+1)</source>
        <translation>3x4 with rhythm II (3x4+1)</translation>
    </message>
    <message>
        <source>3x4 и ритм V1, II, V5 (3x4+3)</source>
        <translation>3x4 with rhythm V1, II, V5 (3x4+3)</translation>
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
        <source>Расположение:</source>
        <translation>Layout:</translation>
    </message>
    <message>
        <source>Скорость:</source>
        <translation>Speed:</translation>
    </message>
    <message>
        <source>Усиление:</source>
        <translation>Gain:</translation>
    </message>
    <message>
        <source>Бумага:</source>
        <translation>Paper:</translation>
    </message>
</context>
<context>
    <name>CSAPrefsDialog</name>
    <message>
        <source>Конфигурация</source>
        <translation>Settings</translation>
    </message>
</context>
<context>
    <name>CSendEmailDlg</name>
    <message>
        <source>отослать карточку по E-Mail</source>
        <translation>Send the card by e-mail</translation>
    </message>
    <message>
        <source>Кому:</source>
        <translation>To:</translation>
    </message>
    <message>
        <source>Тема:</source>
        <translation>Subject:</translation>
    </message>
    <message>
        <source>Примечание:</source>
        <translation>Note:</translation>
    </message>
    <message>
        <source>Карточка пациента</source>
        <translation>Patient card</translation>
    </message>
</context>
<context>
    <name>CSettingsDialog</name>
    <message>
        <source>Основные настройки</source>
        <translation>General settings</translation>
    </message>
    <message>
        <source>Настройки почты</source>
        <translation>E-mail settings</translation>
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
<context>
    <name>CommandTable</name>
    <message>
        <source>&amp;Файл</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>&amp;Редактирование</source>
        <translation>&amp;Edit</translation>
    </message>
    <message>
        <source>Данные</source>
        <translation>Data</translation>
    </message>
    <message>
        <source>&amp;Вид</source>
        <translation>&amp;View</translation>
    </message>
    <message>
        <source>&amp;Окна</source>
        <translation>&amp;Window</translation>
    </message>
    <message>
        <source>&amp;Помощь</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>&amp;Архив</source>
        <translation>&amp;Archive</translation>
    </message>
    <message>
        <source>&amp;Новый	Ctrl+N</source>
        <translation>&amp;New	Ctrl+N</translation>
    </message>
    <message>
        <source>Создать новый документ
Новый</source>
        <translation>Create a new document
New</translation>
    </message>
    <message>
        <source>&amp;Открыть...	Ctrl+O</source>
        <translation>&amp;Open...	Ctrl+O</translation>
    </message>
    <message>
        <source>Открыть существующий документ
Открыть</source>
        <translation>Open an existing document
Open</translation>
    </message>
    <message>
        <source>&amp;Рабочий список...</source>
        <translation>&amp;Worklist...</translation>
    </message>
    <message>
        <source>Направления на ЭКГ из рабочего списка больницы: выбрать пациента для записи
Рабочий список</source>
        <translation>ECG orders from the hospital worklist: choose a patient to record
Worklist</translation>
    </message>
    <message>
        <source>&amp;Закрыть</source>
        <translation>&amp;Close</translation>
    </message>
    <message>
        <source>Закрыть активный документ
Закрыть</source>
        <translation>Close the active document
Close</translation>
    </message>
    <message>
        <source>&amp;Печать...	Ctrl+P</source>
        <translation>&amp;Print...	Ctrl+P</translation>
    </message>
    <message>
        <source>Напечатать отчет об ЭКГ
Печать</source>
        <translation>Print the ECG report
Print</translation>
    </message>
    <message>
        <source>Предварительный про&amp;смотр</source>
        <translation>Print pre&amp;view</translation>
    </message>
    <message>
        <source>Показать отчет об ЭКГ так, как он будет напечатан
Предварительный просмотр</source>
        <translation>Show the ECG report as it will be printed
Print preview</translation>
    </message>
    <message>
        <source>Сохранить в P&amp;DF...</source>
        <translation>Save as P&amp;DF...</translation>
    </message>
    <message>
        <source>Сохранить отчет об ЭКГ в файл PDF
Сохранить в PDF</source>
        <translation>Save the ECG report to a PDF file
Save as PDF</translation>
    </message>
    <message>
        <source>&amp;Выход</source>
        <translation>E&amp;xit</translation>
    </message>
    <message>
        <source>Выйти из приложения
Выход</source>
        <translation>Quit the application
Exit</translation>
    </message>
    <message>
        <source>&amp;Отменить	Ctrl+Z</source>
        <translation>&amp;Undo	Ctrl+Z</translation>
    </message>
    <message>
        <source>Отменить последнее действие
Отменить</source>
        <translation>Undo the last action
Undo</translation>
    </message>
    <message>
        <source>&amp;Вырезать	Ctrl+X</source>
        <translation>Cu&amp;t	Ctrl+X</translation>
    </message>
    <message>
        <source>Вырезать выделенное и поместить в буфер обмена
Вырезать</source>
        <translation>Cut the selection and put it on the Clipboard
Cut</translation>
    </message>
    <message>
        <source>&amp;Копировать	Ctrl+C</source>
        <translation>&amp;Copy	Ctrl+C</translation>
    </message>
    <message>
        <source>Копировать выделенное в буфер обмена
Копировать</source>
        <translation>Copy the selection and put it on the Clipboard
Copy</translation>
    </message>
    <message>
        <source>Вст&amp;авить	Ctrl+V</source>
        <translation>&amp;Paste	Ctrl+V</translation>
    </message>
    <message>
        <source>Вставить содержимое буфера обмена
Вставить</source>
        <translation>Insert Clipboard contents
Paste</translation>
    </message>
    <message>
        <source>&amp;Настройки</source>
        <translation>&amp;Settings</translation>
    </message>
    <message>
        <source>Настроить параметры документа
Настройка</source>
        <translation>Set the document’s parameters
Settings</translation>
    </message>
    <message>
        <source>Прием данных от кардиографа</source>
        <translation>Receive data from the cardiograph</translation>
    </message>
    <message>
        <source>Начать или закончить прием данных от кардиографа
Передача данных от кардиографа</source>
        <translation>Start or stop receiving data from the cardiograph
Data from the cardiograph</translation>
    </message>
    <message>
        <source>Редактировать описание</source>
        <translation>Edit description</translation>
    </message>
    <message>
        <source>Допавить или изменить описание к записи
Описание</source>
        <translation>Add or change the record’s description
Description</translation>
    </message>
    <message>
        <source>Сохранить в файл</source>
        <translation>Save to file</translation>
    </message>
    <message>
        <source>Сохранить запись на диске
Сохранить</source>
        <translation>Save the record to disk
Save</translation>
    </message>
    <message>
        <source>Отправить по E-Mail</source>
        <translation>Send by e-mail</translation>
    </message>
    <message>
        <source>Отправить запись в электронном письме
Отправить</source>
        <translation>Send the record in an e-mail
Send</translation>
    </message>
    <message>
        <source>Сохранить в SCP файл</source>
        <translation>Save to SCP file</translation>
    </message>
    <message>
        <source>Сохранить файл SCP на диске
Сохранить</source>
        <translation>Save an SCP file to disk
Save</translation>
    </message>
    <message>
        <source>Отправить SCP по E-Mail</source>
        <translation>Send SCP by e-mail</translation>
    </message>
    <message>
        <source>Отправить файл SCP в электронном письме
Отправить</source>
        <translation>Send an SCP file in an e-mail
Send</translation>
    </message>
    <message>
        <source>Отправить DICOM по E-Mail</source>
        <translation>Send DICOM by e-mail</translation>
    </message>
    <message>
        <source>Отправить запись как DICOM ЭКГ в электронном письме
Отправить</source>
        <translation>Send the record as a DICOM ECG in an e-mail
Send</translation>
    </message>
    <message>
        <source>Отправить в PACS</source>
        <translation>Send to PACS</translation>
    </message>
    <message>
        <source>Отправить запись в архив больницы (PACS) как DICOM ЭКГ; Esc прерывает
Отправить в PACS</source>
        <translation>Send the record to the hospital archive (PACS) as a DICOM ECG; Esc stops it
Send to PACS</translation>
    </message>
    <message>
        <source>Отправить результат в МИС</source>
        <translation>Send result to HIS</translation>
    </message>
    <message>
        <source>Отправить результат (измерения, заключение и отчёт) в медицинскую информационную систему больницы по HL7; Esc прерывает
Отправить в МИС</source>
        <translation>Send the result (measurements, interpretation and report) to the hospital information system over HL7; Esc stops it
Send to HIS</translation>
    </message>
    <message>
        <source>&amp;Панель инструментов</source>
        <translation>&amp;Toolbar</translation>
    </message>
    <message>
        <source>Показать или спрятать панель инструментов
Переключить панель инструментов</source>
        <translation>Show or hide the toolbar
Toggle toolbar</translation>
    </message>
    <message>
        <source>&amp;Статусная строка</source>
        <translation>&amp;Status bar</translation>
    </message>
    <message>
        <source>Показать или спрятать статусную строку
Переключить статусную строку</source>
        <translation>Show or hide the status bar
Toggle status bar</translation>
    </message>
    <message>
        <source>&amp;Каскадом</source>
        <translation>&amp;Cascade</translation>
    </message>
    <message>
        <source>Выстроить окна каскадом
Каскадом</source>
        <translation>Arrange windows so they overlap
Cascade</translation>
    </message>
    <message>
        <source>&amp;Замостить</source>
        <translation>&amp;Tile</translation>
    </message>
    <message>
        <source>Замостить окно горизонтально
Замостить</source>
        <translation>Arrange windows as non-overlapping tiles
Tile</translation>
    </message>
    <message>
        <source>&amp;Выстроить</source>
        <translation>&amp;Arrange icons</translation>
    </message>
    <message>
        <source>Выстроить Значки внизу окна
Выстроить значки</source>
        <translation>Arrange icons at the bottom of the window
Arrange icons</translation>
    </message>
    <message>
        <source>&amp;Пациенты...	Ctrl+Shift+A</source>
        <translation>&amp;Patients...	Ctrl+Shift+A</translation>
    </message>
    <message>
        <source>Архив: все записи всех пациентов, поиск по фамилии и номеру карты
Архив</source>
        <translation>Archive: all records of all patients, search by last name and record number
Archive</translation>
    </message>
    <message>
        <source>&amp;Импорт папки...</source>
        <translation>&amp;Import folder...</translation>
    </message>
    <message>
        <source>Добавить в архив все записи из папки и её подпапок
Импорт папки</source>
        <translation>Add every record in a folder and its subfolders to the archive
Import folder</translation>
    </message>
    <message>
        <source>&amp;Очередь результатов для МИС...</source>
        <translation>HIS result &amp;queue...</translation>
    </message>
    <message>
        <source>Результаты, которые медицинская информационная система ещё не приняла: отправить снова или удалить
Очередь для МИС</source>
        <translation>Results the hospital information system has not accepted yet: send again or delete
HIS queue</translation>
    </message>
    <message>
        <source>&amp;Новый врач...</source>
        <translation>&amp;New physician...</translation>
    </message>
    <message>
        <source>Создать учётную запись врача, который подтверждает заключения
Новый врач</source>
        <translation>Create an account for a physician who confirms interpretations
New physician</translation>
    </message>
    <message>
        <source>&amp;Заключение...</source>
        <translation>&amp;Reading...</translation>
    </message>
    <message>
        <source>Заключение врача по записи: утверждения, подтверждение и изменения
Заключение</source>
        <translation>The physician’s reading of the record: statements, confirmation and amendments
Reading</translation>
    </message>
    <message>
        <source>&amp;Сравнить с предыдущей ЭКГ</source>
        <translation>&amp;Compare with previous ECG</translation>
    </message>
    <message>
        <source>Сравнить запись с предыдущей ЭКГ этого пациента из архива: обе записи, усреднённые комплексы, измерения и динамика
Сравнить с предыдущей ЭКГ</source>
        <translation>Compare the record with this patient’s previous ECG in the archive: both records, averaged complexes, measurements and changes
Compare with previous ECG</translation>
    </message>
    <message>
        <source>&amp;О программе...</source>
        <translation>&amp;About velmora...</translation>
    </message>
    <message>
        <source>Информация о программе. Версия. Копирайты
О программе...</source>
        <translation>Program information, version and copyright
About velmora...</translation>
    </message>
    <message>
        <source>Перейти к следующему окну
Следующее окно</source>
        <translation>Switch to the next window
Next window</translation>
    </message>
    <message>
        <source>Вернуться к предыдущему окну
Предыдущее окно</source>
        <translation>Switch back to the previous window
Previous window</translation>
    </message>
    <message>
        <source>Сравнение недоступно: нет записи в окне</source>
        <translation>Comparison unavailable: no record in the window</translation>
    </message>
    <message>
        <source>Сравнение недоступно: записи нет в архиве</source>
        <translation>Comparison unavailable: the record is not in the archive</translation>
    </message>
    <message>
        <source>Сравнение недоступно: в архиве нет более ранней записи этого пациента</source>
        <translation>Comparison unavailable: the archive has no earlier record of this patient</translation>
    </message>
</context>
<context>
    <name>ComparisonReport</name>
    <message>
        <source>Сравнение с предыдущей ЭКГ</source>
        <translation>Comparison with the previous ECG</translation>
    </message>
    <message>
        <source>Текущая ЭКГ</source>
        <translation>Current ECG</translation>
    </message>
    <message>
        <source>Предыдущая ЭКГ</source>
        <translation>Previous ECG</translation>
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
        <source>Усреднённые комплексы</source>
        <translation>Median beats</translation>
    </message>
    <message>
        <source>текущая %1</source>
        <translation>current %1</translation>
    </message>
    <message>
        <source>предыдущая %1</source>
        <translation>previous %1</translation>
    </message>
    <message>
        <source>%1 мм/с   %2 мм/мВ   Фильтры: %3   Частота дискретизации 409,6 Гц</source>
        <translation>%1 mm/s   %2 mm/mV   Filters: %3   Sampling rate 409.6 Hz</translation>
    </message>
    <message>
        <source>Сравнение ЭКГ</source>
        <translation>ECG comparison</translation>
    </message>
</context>
<context>
    <name>DialogButtons</name>
    <message>
        <source>Применить</source>
        <translation>Apply</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>FileFindings</name>
    <message>
        <source>ЧСС</source>
        <translation>HR</translation>
    </message>
    <message>
        <source> уд/мин</source>
        <translation> bpm</translation>
    </message>
    <message>
        <source> мс</source>
        <translation> ms</translation>
    </message>
    <message>
        <source>ось P</source>
        <translation>P axis</translation>
    </message>
    <message>
        <source>ось QRS</source>
        <translation>QRS axis</translation>
    </message>
    <message>
        <source>ось T</source>
        <translation>T axis</translation>
    </message>
    <message>
        <source>заключение файла (подтверждено): %1</source>
        <translation>file&apos;s interpretation (confirmed): %1</translation>
    </message>
    <message>
        <source>заключение файла: %1</source>
        <translation>file&apos;s interpretation: %1</translation>
    </message>
    <message>
        <source>По данным файла: %1</source>
        <translation>From the file: %1</translation>
    </message>
    <message>
        <source>По данным файла (%1): %2</source>
        <translation>From the file (%1): %2</translation>
    </message>
</context>
<context>
    <name>MeasurementTable</name>
    <message>
        <source>ЧСС</source>
        <translation>HR</translation>
    </message>
    <message>
        <source>уд/мин</source>
        <translation>bpm</translation>
    </message>
    <message>
        <source>мс</source>
        <translation>ms</translation>
    </message>
    <message>
        <source>RR мин</source>
        <translation>RR min</translation>
    </message>
    <message>
        <source>RR макс</source>
        <translation>RR max</translation>
    </message>
    <message>
        <source>QTc (Базетт)</source>
        <translation>QTc (Bazett)</translation>
    </message>
    <message>
        <source>QTc (Фридеричиа)</source>
        <translation>QTc (Fridericia)</translation>
    </message>
    <message>
        <source>ось P</source>
        <translation>P axis</translation>
    </message>
    <message>
        <source>ось QRS</source>
        <translation>QRS axis</translation>
    </message>
    <message>
        <source>ось T</source>
        <translation>T axis</translation>
    </message>
    <message>
        <source>Соколов-Лайон</source>
        <translation>Sokolow-Lyon</translation>
    </message>
    <message>
        <source>мВ</source>
        <translation>mV</translation>
    </message>
    <message>
        <source>нет</source>
        <translation>none</translation>
    </message>
    <message>
        <source>Автоматические измерения: нет (комплексы QRS не найдены)</source>
        <translation>Automatic measurements: none (no QRS complexes found)</translation>
    </message>
    <message>
        <source>%1   (автоматические измерения, требуют подтверждения врачом)</source>
        <translation>%1   (automatic measurements, to be confirmed by a physician)</translation>
    </message>
</context>
<context>
    <name>ReadingCommands</name>
    <message>
        <source>Скорость 25 мм/с</source>
        <translation>Speed 25 mm/s</translation>
    </message>
    <message>
        <source>Скорость 50 мм/с</source>
        <translation>Speed 50 mm/s</translation>
    </message>
    <message>
        <source>Усиление 5 мм/мВ</source>
        <translation>Gain 5 mm/mV</translation>
    </message>
    <message>
        <source>Усиление 10 мм/мВ</source>
        <translation>Gain 10 mm/mV</translation>
    </message>
    <message>
        <source>Усиление 20 мм/мВ</source>
        <translation>Gain 20 mm/mV</translation>
    </message>
    <message>
        <source>Сетевой фильтр 50 Гц</source>
        <translation>Mains filter 50 Hz</translation>
    </message>
    <message>
        <source>Сетевой фильтр 60 Гц</source>
        <translation>Mains filter 60 Hz</translation>
    </message>
    <message>
        <source>Дрейф изолинии 0,05 Гц</source>
        <translation>Baseline drift 0.05 Hz</translation>
    </message>
    <message>
        <source>Дрейф изолинии 0,67 Гц</source>
        <translation>Baseline drift 0.67 Hz</translation>
    </message>
    <message>
        <source>Миографический фильтр 35 Гц</source>
        <translation>Muscle filter 35 Hz</translation>
    </message>
    <message>
        <source>Миографический фильтр 40 Гц</source>
        <translation>Muscle filter 40 Hz</translation>
    </message>
    <message>
        <source>Отметки комплексов и границ волн</source>
        <translation>Beat and wave boundary marks</translation>
    </message>
</context>
<context>
    <name>ReadingSettings</name>
    <message>
        <source>50 Гц</source>
        <translation>50 Hz</translation>
    </message>
    <message>
        <source>60 Гц</source>
        <translation>60 Hz</translation>
    </message>
    <message>
        <source>%1-%2 Гц</source>
        <translation>%1-%2 Hz</translation>
    </message>
    <message>
        <source>от %1 Гц</source>
        <translation>from %1 Hz</translation>
    </message>
    <message>
        <source>до %1 Гц</source>
        <translation>up to %1 Hz</translation>
    </message>
    <message>
        <source>%1 мм/с %2 мм/мВ</source>
        <translation>%1 mm/s %2 mm/mV</translation>
    </message>
    <message>
        <source>%1 мс   %2 мВ</source>
        <translation>%1 ms   %2 mV</translation>
    </message>
    <message>
        <source>   %1 уд/мин</source>
        <translation>   %1 bpm</translation>
    </message>
</context>
<context>
    <name>Reason</name>
    <message>
        <source>нет такого файла или папки</source>
        <translation>no such file or folder</translation>
    </message>
    <message>
        <source>нет прав доступа</source>
        <translation>permission denied</translation>
    </message>
    <message>
        <source>операция не разрешена</source>
        <translation>operation not permitted</translation>
    </message>
    <message>
        <source>файл уже существует</source>
        <translation>the file already exists</translation>
    </message>
    <message>
        <source>на диске нет места</source>
        <translation>no space left on the disk</translation>
    </message>
    <message>
        <source>превышена дисковая квота</source>
        <translation>disk quota exceeded</translation>
    </message>
    <message>
        <source>диск доступен только для чтения</source>
        <translation>the disk is read-only</translation>
    </message>
    <message>
        <source>это папка, а не файл</source>
        <translation>it is a folder, not a file</translation>
    </message>
    <message>
        <source>в пути есть файл там, где должна быть папка</source>
        <translation>a part of the path is a file, not a folder</translation>
    </message>
    <message>
        <source>папка не пуста</source>
        <translation>the folder is not empty</translation>
    </message>
    <message>
        <source>слишком длинное имя файла</source>
        <translation>the file name is too long</translation>
    </message>
    <message>
        <source>файл слишком велик</source>
        <translation>the file is too large</translation>
    </message>
    <message>
        <source>открыто слишком много файлов</source>
        <translation>too many open files</translation>
    </message>
    <message>
        <source>ошибка ввода-вывода</source>
        <translation>input/output error</translation>
    </message>
    <message>
        <source>устройство занято</source>
        <translation>the device is busy</translation>
    </message>
    <message>
        <source>нет такого устройства</source>
        <translation>no such device</translation>
    </message>
    <message>
        <source>устройство не отвечает или отключено</source>
        <translation>the device does not answer or is disconnected</translation>
    </message>
    <message>
        <source>не хватает памяти</source>
        <translation>out of memory</translation>
    </message>
    <message>
        <source>недопустимое значение</source>
        <translation>invalid value</translation>
    </message>
    <message>
        <source>в соединении отказано</source>
        <translation>connection refused</translation>
    </message>
    <message>
        <source>время ожидания соединения истекло</source>
        <translation>the connection timed out</translation>
    </message>
    <message>
        <source>соединение сброшено другой стороной</source>
        <translation>the connection was reset by the other side</translation>
    </message>
    <message>
        <source>узел недоступен</source>
        <translation>the host is unreachable</translation>
    </message>
    <message>
        <source>сеть недоступна</source>
        <translation>the network is unreachable</translation>
    </message>
    <message>
        <source>соединение разорвано</source>
        <translation>the connection was broken</translation>
    </message>
    <message>
        <source>адрес уже используется</source>
        <translation>the address is already in use</translation>
    </message>
    <message>
        <source>ресурс временно недоступен</source>
        <translation>the resource is temporarily unavailable</translation>
    </message>
    <message>
        <source>сервер DICOM отказал в соединении</source>
        <translation>the DICOM server rejected the association</translation>
    </message>
    <message>
        <source>сервер DICOM прервал соединение</source>
        <translation>the DICOM server aborted the association</translation>
    </message>
    <message>
        <source>не удалось установить соединение с сервером DICOM</source>
        <translation>could not establish an association with the DICOM server</translation>
    </message>
    <message>
        <source>сервер DICOM не знает вызываемый AE-титул</source>
        <translation>the DICOM server does not know the called AE title</translation>
    </message>
    <message>
        <source>сервер DICOM не знает AE-титул этой станции</source>
        <translation>the DICOM server does not know this station&apos;s AE title</translation>
    </message>
    <message>
        <source>сервер DICOM не принимает объекты этого вида</source>
        <translation>the DICOM server does not accept objects of this kind</translation>
    </message>
    <message>
        <source>не удалось подключиться к серверу</source>
        <translation>could not connect to the server</translation>
    </message>
    <message>
        <source>сервер с таким именем не найден</source>
        <translation>no server of that name was found</translation>
    </message>
    <message>
        <source>сервер отказал во входе: проверьте имя и пароль</source>
        <translation>the server refused the login: check the user name and password</translation>
    </message>
    <message>
        <source>сертификат сервера не удалось проверить</source>
        <translation>the server&apos;s certificate could not be verified</translation>
    </message>
    <message>
        <source>не удалось установить защищённое соединение</source>
        <translation>could not establish a secure connection</translation>
    </message>
    <message>
        <source>время ожидания истекло</source>
        <translation>the wait timed out</translation>
    </message>
    <message>
        <source>сервер закрыл соединение</source>
        <translation>the server closed the connection</translation>
    </message>
    <message>
        <source>файл повреждён или записан в виде, который velmora не читает</source>
        <translation>the file is damaged or not in a form velmora reads</translation>
    </message>
    <message>
        <source>Действие не выполнено.</source>
        <translation>The action failed.</translation>
    </message>
    <message>
        <source>сервер не принимает AE-титул этой станции</source>
        <translation>the server does not accept this station's AE title</translation>
    </message>
    <message>
        <source>сервер не отвечает</source>
        <translation>the server does not answer</translation>
    </message>
</context>
<context>
    <name>RecordFiles</name>
    <message>
        <source>Записи (*.dat)</source>
        <translation>Records (*.dat)</translation>
    </message>
    <message>
        <source>Пакеты экспорта (*.ecg)</source>
        <translation>Export packages (*.ecg)</translation>
    </message>
    <message>
        <source>Файлы SCP (*.scp)</source>
        <translation>SCP files (*.scp)</translation>
    </message>
    <message>
        <source>Холтер ISHNE (*.ecg)</source>
        <translation>ISHNE Holter (*.ecg)</translation>
    </message>
    <message>
        <source>Записи WFDB (*.hea)</source>
        <translation>WFDB records (*.hea)</translation>
    </message>
    <message>
        <source>Записи WFDB в MATLAB (*.mat)</source>
        <translation>WFDB records in MATLAB (*.mat)</translation>
    </message>
    <message>
        <source>DICOM ЭКГ (*.dcm)</source>
        <translation>DICOM ECG (*.dcm)</translation>
    </message>
    <message>
        <source>Philips XML (*.xml)</source>
        <translation>Philips XML (*.xml)</translation>
    </message>
    <message>
        <source>GE MUSE XML (*.xml)</source>
        <translation>GE MUSE XML (*.xml)</translation>
    </message>
    <message>
        <source>GE CardioSoft XML (*.xml)</source>
        <translation>GE CardioSoft XML (*.xml)</translation>
    </message>
    <message>
        <source>HL7 aECG (*.xml)</source>
        <translation>HL7 aECG (*.xml)</translation>
    </message>
    <message>
        <source>EDF+ (*.edf)</source>
        <translation>EDF+ (*.edf)</translation>
    </message>
    <message>
        <source>FHIR R4 DiagnosticReport (*.json)</source>
        <translation>FHIR R4 DiagnosticReport (*.json)</translation>
    </message>
    <message>
        <source>Все записи (%1)</source>
        <translation>All records (%1)</translation>
    </message>
    <message>
        <source>Все файлы (*)</source>
        <translation>All files (*)</translation>
    </message>
</context>
<context>
    <name>RecordPacs</name>
    <message>
        <source>не задан адрес PACS</source>
        <translation>no PACS address is set</translation>
    </message>
    <message>
        <source>неверный порт PACS: %1</source>
        <translation>invalid PACS port: %1</translation>
    </message>
    <message>
        <source>неверный AE-титул PACS: &quot;%1&quot;</source>
        <translation>invalid PACS AE title: &quot;%1&quot;</translation>
    </message>
    <message>
        <source>неверный собственный AE-титул: &quot;%1&quot;</source>
        <translation>invalid own AE title: &quot;%1&quot;</translation>
    </message>
    <message>
        <source>В карточке нет фамилии пациента: запись без имени в PACS не отправляется</source>
        <translation>The card has no patient surname: a record without a name is not sent to the PACS</translation>
    </message>
</context>
<context>
    <name>RecordWorklist</name>
    <message>
        <source>не задан адрес сервера рабочего списка</source>
        <translation>no worklist server address is set</translation>
    </message>
    <message>
        <source>неверный порт сервера рабочего списка: %1</source>
        <translation>invalid worklist server port: %1</translation>
    </message>
    <message>
        <source>неверный AE-титул сервера рабочего списка: &quot;%1&quot;</source>
        <translation>invalid worklist server AE title: &quot;%1&quot;</translation>
    </message>
    <message>
        <source>неверный собственный AE-титул: &quot;%1&quot;</source>
        <translation>invalid own AE title: &quot;%1&quot;</translation>
    </message>
</context>
<context>
    <name>ReportFile</name>
    <message>
        <source>ЭКГ</source>
        <translation>ECG</translation>
    </message>
</context>
<context>
    <name>ReportRenderer</name>
    <message>
        <source>отведение отсутствует в записи</source>
        <translation>lead not present in the record</translation>
    </message>
    <message>
        <source> (%1 лет)</source>
        <translation> (age %1)</translation>
    </message>
    <message>
        <source>Заключение: %1</source>
        <translation>Conclusion: %1</translation>
    </message>
    <message>
        <source>Подтверждено: %1, %2</source>
        <translation>Confirmed: %1, %2</translation>
    </message>
    <message>
        <source>Изменено: %1</source>
        <translation>Amended: %1</translation>
    </message>
    <message>
        <source>Пациент: %1 %2 %3</source>
        <translation>Patient: %1 %2 %3</translation>
    </message>
    <message>
        <source>Пол: %1   Дата рождения: %2</source>
        <translation>Sex: %1   Date of birth: %2</translation>
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
        <source>Рост: %1   Вес: %2</source>
        <translation>Height: %1   Weight: %2</translation>
    </message>
    <message>
        <source>%1 см</source>
        <translation>%1 cm</translation>
    </message>
    <message>
        <source>%1 кг</source>
        <translation>%1 kg</translation>
    </message>
    <message>
        <source>Врач: %1</source>
        <translation>Physician: %1</translation>
    </message>
    <message>
        <source>Дата и время записи: %1</source>
        <translation>Recorded: %1</translation>
    </message>
    <message>
        <source>Запись № %1, прибор %2</source>
        <translation>Record no. %1, device %2</translation>
    </message>
    <message>
        <source>Запись № %1</source>
        <translation>Record no. %1</translation>
    </message>
    <message>
        <source>Автоматические измерения,</source>
        <translation>Automatic measurements,</translation>
    </message>
    <message>
        <source>требуют подтверждения врачом</source>
        <translation>to be confirmed by a physician</translation>
    </message>
    <message>
        <source>Заключение</source>
        <translation>Interpretation</translation>
    </message>
    <message>
        <source>Подпись врача</source>
        <translation>Physician&apos;s signature</translation>
    </message>
    <message>
        <source>%1 мм/с   %2 мм/мВ   Фильтры: %3   Частота дискретизации 409,6 Гц</source>
        <translation>%1 mm/s   %2 mm/mV   Filters: %3   Sampling rate 409.6 Hz</translation>
    </message>
    <message>
        <source>   Показаны первые %1 с записи</source>
        <translation>   First %1 s of the record shown</translation>
    </message>
    <message>
        <source>нет</source>
        <translation>none</translation>
    </message>
</context>
<context>
    <name>StringTable</name>
    <message>
        <source>Эйнтховен</source>
        <translation>Einthoven</translation>
    </message>
    <message>
        <source>Нэб</source>
        <translation>Nehb</translation>
    </message>
    <message>
        <source>Слопак</source>
        <translation>Slopak</translation>
    </message>
    <message>
        <source>50 Гц Вкл.</source>
        <translation>50 Hz on</translation>
    </message>
    <message>
        <source>35 Гц Выкл.</source>
        <translation>35 Hz off</translation>
    </message>
    <message>
        <source>35 Гц Вкл.</source>
        <translation>35 Hz on</translation>
    </message>
    <message>
        <source>50 Гц Выкл.</source>
        <translation>50 Hz off</translation>
    </message>
    <message>
        <source>Обработка данных</source>
        <translation>Processing data</translation>
    </message>
    <message>
        <source>Обрыв связи !</source>
        <translation>Connection lost!</translation>
    </message>
    <message>
        <source>Идет прием данных</source>
        <translation>Receiving data</translation>
    </message>
    <message>
        <source>Идет передача данных</source>
        <translation>Sending data</translation>
    </message>
</context>
</TS>
