<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="ru_RU">
<context>
    <name>CAboutDlg</name>
    <message>
        <source>velmora, версия %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CArchiveDlg</name>
    <message>
        <source>Архив</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Фамилия или номер карты</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Корзина</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Удалённые записи: они хранятся %1 дней</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>не подтверждены</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Только записи, заключение которых не подтверждено врачом</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>с</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>по</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Пациент</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Дата рождения</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Номер карты</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Записей</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Дата</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Тип</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Аппарат</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ЧСС</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>QRS, мс</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>QTc, мс</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Заключение</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Файл</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Открыть</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Экспорт...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Удалить</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Импорт папки...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Закрыть</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Сравнить с предыдущей</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Прежние ЭКГ из PACS...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Восстановить</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Импортировано: %1, уже в архиве: %2, не принято: %3.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Импорт прерван.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Импорт не закончен: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>и ещё %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Архив не открыт: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Поиск в архиве не удался: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>(без карточки)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ничего не найдено.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>подтверждено: %1, %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>не подтверждено врачом</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ЭКГ</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Экспорт записи</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Запись не экспортирована: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Запись сохранена: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Удалить запись из архива? Она пролежит в корзине %1 дней, потом будет стёрта.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Запись не восстановлена: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Запись не удалена: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Запись восстановлена.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Запись перенесена в корзину.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Импорт папки в архив</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Импорт папки</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Записи из %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CBalloonHelp</name>
    <message>
        <source>Сообщение</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CChartRenderer</name>
    <message>
        <source>отведение отсутствует в записи</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CChildFrame</name>
    <message>
        <source>Начать новый приём</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Закрыть окно</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CChildView</name>
    <message>
        <source>Заключение: %1. Подтверждено: %2, %3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Автоматическое заключение (не подтверждено врачом): %1.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CComparisonDlg</name>
    <message>
        <source>Сравнение с предыдущей ЭКГ</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Запись пациента, с которой сравнивается текущая</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 мм/с</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 мм/мВ</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Фильтры: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>нет</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Сравнить с:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Скорость</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Усиление</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Усреднённые комплексы:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>━━ текущая ЭКГ</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>━━ предыдущая ЭКГ</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Показатель</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Предыдущая</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Текущая</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Разница</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Сохранить отчёт в PDF...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Закрыть</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>В архиве нет более ранней записи этого пациента</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Сравнение с предыдущей ЭКГ: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>без карточки</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Предыдущая ЭКГ: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Текущая ЭКГ: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Нет сравнения для отчёта</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Отчёт о сравнении не сохранён: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Отчёт о сравнении сохранён: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Сравнение ЭКГ %1 %2.pdf</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Сохранить отчёт о сравнении</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>PDF (*.pdf)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CCurvesDefinitionDlg</name>
    <message>
        <source>не указана</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ф.И.О. врача</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Телефон врача</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Фамилия</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Имя</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Отчество</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Рост</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Вес</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Дата рождения</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Пол</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Для сохранения и отправки не заполнено: %1.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CDlg1ComPort</name>
    <message>
        <source>Автоматическое заключение</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>60-90 в минуту (российская практика)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>50-100 в минуту (рекомендации AHA)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Нормальная частота синусового ритма</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CDlgArchiveCfg</name>
    <message>
        <source>Заносить в архив каждую принятую, открытую и сохранённую запись</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Общий архив клиники на сервере PostgreSQL</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Архив на этом компьютере</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>по умолчанию: ~/.local/share/velmora/archive.sqlite</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Файл архива</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Общий архив</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>как решит сервер</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Сервер</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Порт</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>База данных</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Пользователь</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Пароль</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Шифрование (sslmode)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Архив</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CDlgPacsCfg</name>
    <message>
        <source>Рабочий список (DICOM Modality Worklist)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>AE-титул сервера</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Адрес сервера</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Порт DICOM</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CEcgDocument</name>
    <message>
        <source>ЭКГ</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CHisOutboxDlg</name>
    <message>
        <source>Отправить сейчас</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Остановить</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Удалить...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Очередь результатов для МИС</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Сообщение</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Сохранено</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Размер</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Закрыть</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Результаты, которые информационная система больницы ещё не приняла. Они хранятся, пока система их не подтвердит.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 КБ</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Очередь пуста.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ждут отправки: %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Не задан сервер МИС: укажите его в настройках (страница PACS, раздел МИС).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1: принято</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1: не доставлено (%2)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Отправка остановлена.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Идёт отправка в МИС...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Сообщение не удалено: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Удалить сообщение из очереди? Информационная система больницы его не получит.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CMainFrame</name>
    <message>
        <source>Открытие записи</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Открытие файла «%1»…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Архив: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Запись не добавлена в архив: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Архив не открыт: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Запись из архива не открыта: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Архив: %1 %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>без карточки</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Сравнение недоступно: архив не открыт: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Сравнение не открыто: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Учётная запись %1 создана.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Создать учётную запись врача...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>В архиве ещё нет врачей: заключение подтверждает врач под своим именем и паролем</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Заключение подтверждается для записи в архиве; эта запись ещё не в нём</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CPriorsDlg</name>
    <message>
        <source>Прежние ЭКГ из PACS</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Пациент: %1, идентификатор %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Дата</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Пациент</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Дата рождения</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Пол</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Номер обращения</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ЭКГ</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Искать снова</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Загрузить в архив</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Закрыть</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Отменено.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Загрузка из PACS не удалась: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Поиск в PACS не удался: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Получено ЭКГ: %1; все уже в архиве, ничего не добавлено.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Получено ЭКГ: %1; добавлено в архив: %2, уже в архиве: %3.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Поиск ЭКГ пациента в PACS...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Загрузка ЭКГ из PACS в архив (исследований: %1)...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>муж.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>жен.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>В PACS нет ЭКГ этого пациента.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Найдено исследований с ЭКГ: %1. Выберите нужные и нажмите «Загрузить в архив».</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CReadingDlg</name>
    <message>
        <source>Новый врач</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Имя для входа (латиницей)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ФИО</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Должность</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Пароль (не короче %1 знаков)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Пароль ещё раз</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Создать</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Пароли не совпадают.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Учётная запись не создана: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Заключение</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Снимите отметку, чтобы убрать утверждение из заключения</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Найти утверждение</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Добавить</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Заключение врача своими словами</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Причина изменения</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Новый врач...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Врач</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Пароль</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Подтвердить</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Сохранить черновик</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Закрыть</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Утверждения</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Заключение врача</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Подтверждённые версии</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Архив не открыт: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Заключение не прочитано из архива: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Подтверждено: %1, %2 (версия %3)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Не подтверждено врачом</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Внести изменение</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;b&gt;Версия %1&lt;/b&gt;: %2, %3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> (причина: %1)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Нет</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>В архиве ещё нет учётных записей врачей: создайте свою кнопкой «Новый врач...».</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Выберите врача или создайте учётную запись.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Не подтверждено: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Подтверждено: %1, %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Подтверждённое заключение меняется только изменением с причиной.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Черновик сохранён.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Черновик не сохранён: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Учётная запись %1 создана.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CRecordCommands</name>
    <message>
        <source>Запись отправлена в PACS %1 (%2:%3).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Отправка в PACS отменена: архив записи не получил.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Принятая запись не сохранена: её не удалось записать в папку принятых.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Карточка пациента изменена и не сохранена ни в одном файле.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1
%2 и потерять её? Чтобы сохранить, выберите «Нет» и сохраните запись.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Запись ещё сохраняется: дождитесь конца.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Отправка в МИС невозможна: не задан адрес медицинской информационной системы (Настройки, страница PACS)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Отправка в МИС невозможна: в карточке нет ни фамилии пациента, ни номера медицинской карты</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> В очереди для МИС: %1 (Архив, Очередь результатов для МИС).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Результат принят медицинской информационной системой.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Отправка в МИС остановлена; результат сохранён в очереди.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Результат не принят МИС: %1. Он сохранён и будет отправлен снова.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CReportOptionsDlg</name>
    <message>
        <source>%1 мм/с</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 мм/мВ</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CWorklistDlg</name>
    <message>
        <source>Рабочий список</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Дата:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Обновить</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ФИО</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Идентификатор</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Дата рождения</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Пол</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Номер направления</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Процедура</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Время</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Выбрать</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Закрыть</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Рабочий список недоступен: %1. Задайте сервер в «Настройки» &gt; «PACS».</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Запрос рабочего списка у %1:%2…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ошибка рабочего списка: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Направлений на %1: %2 (обновлено в %3)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>м</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ж</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
