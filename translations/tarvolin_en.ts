<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ru_RU">
<context>
    <name>DnsSrvWindow</name>
    <message>
        <source>Тест DNS SRV</source>
        <translation>DNS SRV test</translation>
    </message>
    <message>
        <source>Запрос</source>
        <translation>Query</translation>
    </message>
    <message>
        <source>Закрыть</source>
        <translation>Close</translation>
    </message>
</context>
<context>
    <name>DoubleNat</name>
    <message>
        <source>не сообщён</source>
        <translation>not reported</translation>
    </message>
    <message>
        <source>нет ответа</source>
        <translation>no answer</translation>
    </message>
    <message>
        <source>, сам адрес назначения</source>
        <translation>, the destination address itself</translation>
    </message>
    <message>
        <source>, недоступно: </source>
        <translation>, unreachable: </translation>
    </message>
    <message>
        <source>; между NAT адрес </source>
        <translation>; address between the NATs </translation>
    </message>
    <message>
        <source>): второй NAT у оператора</source>
        <translation>): the second NAT belongs to the operator</translation>
    </message>
    <message>
        <source>; между NAT частный адрес </source>
        <translation>; private address between the NATs </translation>
    </message>
    <message>
        <source>: второй NAT может быть и вашим, и провайдера</source>
        <translation>: the second NAT may be yours or the provider&apos;s</translation>
    </message>
    <message>
        <source>; адреса между NAT не видны: второй NAT может быть и вашим, и провайдера</source>
        <translation>; addresses between the NATs are not visible: the second NAT may be yours or the provider&apos;s</translation>
    </message>
    <message>
        <source>адрес </source>
        <translation>address </translation>
    </message>
    <message>
        <source>, который видит STUN-сервер, принадлежит первому маршрутизатору: он ответил на датаграмму к этому адресу сам</source>
        <translation> seen by the STUN server belongs to the first router: it answered a datagram to this address itself</translation>
    </message>
    <message>
        <source>первый маршрутизатор (</source>
        <translation>the first router (</translation>
    </message>
    <message>
        <source>) передал дальше датаграмму к адресу </source>
        <translation>) forwarded a datagram to address </translation>
    </message>
    <message>
        <source>, который видит STUN-сервер: этот адрес не его, его выдаёт NAT дальше</source>
        <translation> seen by the STUN server: the address is not its own, a NAT further on hands it out</translation>
    </message>
    <message>
        <source>, на шаге %1</source>
        <translation>, at hop %1</translation>
    </message>
    <message>
        <source>%1 на шаге %2</source>
        <translation>%1 at hop %2</translation>
    </message>
    <message>
        <source>. На пути есть узлы с непубличными адресами (</source>
        <translation>. There are hops with non-public addresses on the path (</translation>
    </message>
    <message>
        <source>), но провайдеры нумеруют так и свои маршрутизаторы без трансляции адресов: это лишь подсказка</source>
        <translation>), but providers number their own routers like this without address translation too: this is only a hint</translation>
    </message>
    <message>
        <source>частный, RFC 1918</source>
        <translation>private, RFC 1918</translation>
    </message>
    <message>
        <source>общий адрес оператора, RFC 6598</source>
        <translation>carrier-grade shared address, RFC 6598</translation>
    </message>
    <message>
        <source>адрес DS-Lite, RFC 6333</source>
        <translation>DS-Lite address, RFC 6333</translation>
    </message>
    <message>
        <source>служебный</source>
        <translation>special-purpose</translation>
    </message>
    <message>
        <source>публичный</source>
        <translation>public</translation>
    </message>
    <message>
        <source>неверный адрес</source>
        <translation>invalid address</translation>
    </message>
    <message>
        <source>сеть недоступна (код 0)</source>
        <translation>network unreachable (code 0)</translation>
    </message>
    <message>
        <source>узел недоступен (код 1)</source>
        <translation>host unreachable (code 1)</translation>
    </message>
    <message>
        <source>протокол недоступен (код 2)</source>
        <translation>protocol unreachable (code 2)</translation>
    </message>
    <message>
        <source>порт недоступен (код 3)</source>
        <translation>port unreachable (code 3)</translation>
    </message>
    <message>
        <source>нужна фрагментация (код 4)</source>
        <translation>fragmentation needed (code 4)</translation>
    </message>
    <message>
        <source>запрещено администратором (код %1)</source>
        <translation>administratively prohibited (code %1)</translation>
    </message>
    <message>
        <source>код %1</source>
        <translation>code %1</translation>
    </message>
    <message>
        <source>STUN-сервер видит адрес самого компьютера</source>
        <translation>the STUN server sees the computer&apos;s own address</translation>
    </message>
    <message>
        <source>внешний адрес маршрутизатора </source>
        <translation>the router&apos;s external address </translation>
    </message>
    <message>
        <source> совпадает с адресом, который видит STUN-сервер</source>
        <translation> matches the address seen by the STUN server</translation>
    </message>
    <message>
        <source> не публичный, а STUN-сервер видит адрес </source>
        <translation> is not public, and the STUN server sees address </translation>
    </message>
    <message>
        <source>: его заменяет ещё один NAT</source>
        <translation>: another NAT replaces it</translation>
    </message>
    <message>
        <source> публичный</source>
        <translation> is public</translation>
    </message>
    <message>
        <source>маршрутизатор сообщает внешний адрес </source>
        <translation>the router reports external address </translation>
    </message>
    <message>
        <source>, а STUN-сервер видит другой, </source>
        <translation>, but the STUN server sees a different one, </translation>
    </message>
    <message>
        <source>: так бывает и при втором NAT, и при маршрутизаторе с несколькими подключениями, и при VPN</source>
        <translation>: this happens with a second NAT, with a router that has several uplinks, and with a VPN</translation>
    </message>
    <message>
        <source> не публичный, но STUN-сервер не ответил, сравнить не с чем</source>
        <translation> is not public, but the STUN server did not answer, nothing to compare with</translation>
    </message>
    <message>
        <source>маршрутизатор не сообщил свой внешний адрес, а где находится адрес, который видит STUN-сервер, определить не удалось</source>
        <translation>the router did not report its external address, and where the address seen by the STUN server comes from could not be determined</translation>
    </message>
    <message>
        <source>NAT не обнаружен</source>
        <translation>no NAT found</translation>
    </message>
    <message>
        <source>один NAT</source>
        <translation>one NAT</translation>
    </message>
    <message>
        <source>двойной NAT</source>
        <translation>double NAT</translation>
    </message>
    <message>
        <source>NAT оператора (CGNAT)</source>
        <translation>carrier-grade NAT (CGNAT)</translation>
    </message>
    <message>
        <source>не удалось определить</source>
        <translation>could not be determined</translation>
    </message>
    <message>
        <source>Компьютер подключен к Интернету напрямую: SIP-телефон настраивается без STUN и без проброса портов.</source>
        <translation>The computer is connected to the Internet directly: set up the SIP phone without STUN and without port forwarding.</translation>
    </message>
    <message>
        <source>Между телефоном и Интернетом один маршрутизатор с NAT: помогают STUN, проброс портов или UPnP на этом маршрутизаторе.</source>
        <translation>There is one router with NAT between the phone and the Internet: STUN, port forwarding or UPnP on that router will help.</translation>
    </message>
    <message>
        <source>Между вашим маршрутизатором и Интернетом ещё один NAT: ваш (например, модем провайдера в режиме маршрутизатора) или самого провайдера. Проброс портов и UPnP на вашем маршрутизаторе не открывают порты снаружи. Если второй NAT ваш, переведите его в режим моста или настройте проброс на обоих; если провайдера, публичный адрес можно заказать у него. Иначе входящие звонки возможны только при регистрации с частыми keep-alive или через SIP-прокси.</source>
        <translation>There is another NAT between your router and the Internet: yours (for example the provider&apos;s modem in router mode) or the provider&apos;s own. Port forwarding and UPnP on your router do not open ports from outside. If the second NAT is yours, switch it to bridge mode or set up forwarding on both; if it is the provider&apos;s, you can order a public address from them. Otherwise incoming calls only work with registration and frequent keep-alives, or through a SIP proxy.</translation>
    </message>
    <message>
        <source>Провайдер Интернета выдал маршрутизатору адрес своей внутренней сети (NAT оператора). Входящие соединения снаружи невозможны, проброс портов и UPnP не помогут: телефон должен держать регистрацию частыми keep-alive, для голоса нужен SIP-прокси или TURN. Публичный адрес можно заказать у провайдера Интернета.</source>
        <translation>The Internet provider gave the router an address from its internal network (carrier-grade NAT). Incoming connections from outside are impossible, port forwarding and UPnP will not help: the phone has to keep its registration with frequent keep-alives, and voice needs a SIP proxy or TURN. You can order a public address from the Internet provider.</translation>
    </message>
    <message>
        <source>Число NAT на пути определить не удалось.</source>
        <translation>The number of NATs on the path could not be determined.</translation>
    </message>
    <message>
        <source>Адрес компьютера: </source>
        <translation>Computer address: </translation>
    </message>
    <message>
        <source>Внешний адрес по UPnP IGD: </source>
        <translation>External address by UPnP IGD: </translation>
    </message>
    <message>
        <source>Внешний адрес по NAT-PMP: </source>
        <translation>External address by NAT-PMP: </translation>
    </message>
    <message>
        <source>Адрес, который видит STUN-сервер: </source>
        <translation>Address seen by the STUN server: </translation>
    </message>
    <message>
        <source>Узел %1: </source>
        <translation>Hop %1: </translation>
    </message>
    <message>
        <source>Поиск узлов не удался: ответ «недоступно» пришёл не от адреса назначения.</source>
        <translation>Hop discovery failed: the &quot;unreachable&quot; answer did not come from the destination address.</translation>
    </message>
    <message>
        <source>Датаграмма к %1 с TTL %2: </source>
        <translation>Datagram to %1 with TTL %2: </translation>
    </message>
    <message>
        <source> передал дальше</source>
        <translation> forwarded it</translation>
    </message>
    <message>
        <source>ответил сам владелец адреса</source>
        <translation>the owner of the address answered itself</translation>
    </message>
    <message>
        <source>Вывод: </source>
        <translation>Conclusion: </translation>
    </message>
</context>
<context>
    <name>ExtendedFindings</name>
    <message>
        <source>нет ответа</source>
        <translation>no answer</translation>
    </message>
    <message>
        <source>да</source>
        <translation>yes</translation>
    </message>
    <message>
        <source>нет</source>
        <translation>no</translation>
    </message>
    <message>
        <source>Результат: </source>
        <translation>Result: </translation>
    </message>
    <message>
        <source>Результат: сервер STUN не ответил, тест не выполнен.</source>
        <translation>Result: the STUN server did not answer, the test was not run.</translation>
    </message>
    <message>
        <source>Для SIP-телефона: проверьте, что протокол UDP не заблокирован; результаты остальных проверок этого окна тоже могут быть неполными.</source>
        <translation>For a SIP phone: check that UDP is not blocked; the other results in this window may be incomplete too.</translation>
    </message>
    <message>
        <source> Это меньше двух минут, которые NAT должен выдерживать по RFC 4787 (REQ-5).</source>
        <translation> That is less than the two minutes a NAT must hold by RFC 4787 (REQ-5).</translation>
    </message>
    <message>
        <source>Для SIP-телефона: по этому серверу поведение NAT определить нельзя; опирайтесь на результаты автоматического теста.</source>
        <translation>For a SIP phone: this server cannot show how the NAT behaves; rely on the results of the automatic test.</translation>
    </message>
    <message>
        <source>Отображение адресов (mapping)</source>
        <translation>Address mapping</translation>
    </message>
    <message>
        <source>на основной адрес сервера %1 — %2</source>
        <translation>to the server&apos;s main address %1 — %2</translation>
    </message>
    <message>
        <source>на второй адрес %1 — %2</source>
        <translation>to the second address %1 — %2</translation>
    </message>
    <message>
        <source>на второй адрес и порт %1 — %2</source>
        <translation>to the second address and port %1 — %2</translation>
    </message>
    <message>
        <source>Что измерено: внешний адрес и порт одного сокета при запросах </source>
        <translation>Measured: the external address and port of one socket for requests </translation>
    </message>
    <message>
        <source>Результат: внешний адрес и порт совпадают с адресом и портом компьютера — NAT не обнаружен, адреса не транслируются.</source>
        <translation>Result: the external address and port equal the computer&apos;s address and port — no NAT found, addresses are not translated.</translation>
    </message>
    <message>
        <source>Для SIP-телефона: STUN не нужен, телефон настраивается как на публичном адресе.</source>
        <translation>For a SIP phone: STUN is not needed, set the phone up as on a public address.</translation>
    </message>
    <message>
        <source>Результат: NAT сохраняет один и тот же внешний адрес и порт для всех получателей (Endpoint-Independent Mapping).</source>
        <translation>Result: the NAT keeps the same external address and port for all destinations (Endpoint-Independent Mapping).</translation>
    </message>
    <message>
        <source>Для SIP-телефона: адрес, который телефон узнаёт через STUN, верен для всех собеседников; STUN можно использовать.</source>
        <translation>For a SIP phone: the address the phone learns through STUN is valid for every peer; STUN can be used.</translation>
    </message>
    <message>
        <source>Результат: NAT выбирает новый внешний порт для каждого нового адреса получателя (Address-Dependent Mapping).</source>
        <translation>Result: the NAT picks a new external port for each new destination address (Address-Dependent Mapping).</translation>
    </message>
    <message>
        <source>Результат: NAT выбирает новый внешний порт для каждого нового адреса и порта получателя (Address and Port-Dependent Mapping).</source>
        <translation>Result: the NAT picks a new external port for each new destination address and port (Address and Port-Dependent Mapping).</translation>
    </message>
    <message>
        <source>Для SIP-телефона: адрес, найденный через STUN, неверен для других собеседников — STUN не поможет. Нужен SIP-сервер, работающий с NAT (rport, симметричный RTP), TURN или проброс портов.</source>
        <translation>For a SIP phone: the address found through STUN is wrong for other peers — STUN will not help. You need a NAT-aware SIP server (rport, symmetric RTP), TURN or port forwarding.</translation>
    </message>
    <message>
        <source>Фильтрация входящих пакетов (filtering)</source>
        <translation>Filtering of incoming packets</translation>
    </message>
    <message>
        <source>Что измерено: ответ сервера %1 на запрос с нового сокета — %2.</source>
        <translation>Measured: the answer of server %1 to a request from a new socket — %2.</translation>
    </message>
    <message>
        <source>получен</source>
        <translation>received</translation>
    </message>
    <message>
        <source>не получен</source>
        <translation>not received</translation>
    </message>
    <message>
        <source>Что измерено: доходит ли до нового сокета ответ сервера %1, отправленный с другого адреса и порта — %2</source>
        <translation>Measured: whether the answer of server %1 sent from another address and port reaches a new socket — %2</translation>
    </message>
    <message>
        <source>дошёл</source>
        <translation>arrived</translation>
    </message>
    <message>
        <source>не дошёл</source>
        <translation>did not arrive</translation>
    </message>
    <message>
        <source>, и с другого порта того же адреса — %1</source>
        <translation>, and from another port of the same address — %1</translation>
    </message>
    <message>
        <source>Результат: входящие пакеты проходят с любого адреса и порта (Endpoint-Independent Filtering).</source>
        <translation>Result: incoming packets pass from any address and port (Endpoint-Independent Filtering).</translation>
    </message>
    <message>
        <source>Для SIP-телефона: входящие запросы и голос дойдут от любого сервера и собеседника, пока отображение живо.</source>
        <translation>For a SIP phone: incoming requests and voice arrive from any server and peer while the mapping is alive.</translation>
    </message>
    <message>
        <source>Результат: входящие пакеты проходят только с адресов, на которые компьютер уже отправлял пакеты, с любого их порта (Address-Dependent Filtering).</source>
        <translation>Result: incoming packets pass only from addresses the computer has already sent packets to, from any of their ports (Address-Dependent Filtering).</translation>
    </message>
    <message>
        <source>Для SIP-телефона: голос собеседника дойдёт после того, как телефон сам отправит ему пакет (симметричный RTP); запросы с других адресов провайдера не дойдут.</source>
        <translation>For a SIP phone: the peer&apos;s voice arrives after the phone has sent it a packet itself (symmetric RTP); requests from the provider&apos;s other addresses will not arrive.</translation>
    </message>
    <message>
        <source>Результат: входящие пакеты проходят только с тех адресов и портов, на которые компьютер уже отправлял пакеты (Address and Port-Dependent Filtering).</source>
        <translation>Result: incoming packets pass only from the addresses and ports the computer has already sent packets to (Address and Port-Dependent Filtering).</translation>
    </message>
    <message>
        <source>Для SIP-телефона: вызовы дойдут только от сервера, с которым телефон поддерживает связь keep-alive-пакетами; голос — только с адреса и порта, на которые телефон сам отправляет голос.</source>
        <translation>For a SIP phone: calls arrive only from the server the phone keeps in touch with by keep-alive packets; voice only from the address and port the phone sends its own voice to.</translation>
    </message>
    <message>
        <source>Петля через NAT (hairpinning)</source>
        <translation>Loop through the NAT (hairpinning)</translation>
    </message>
    <message>
        <source>Что измерено: доходят ли пакеты между двумя сокетами компьютера, отправленные на внешние адреса друг друга (%1 и %2), в одну или в другую сторону.</source>
        <translation>Measured: whether packets between two sockets of the computer, sent to each other&apos;s external addresses (%1 and %2), arrive in one direction or the other.</translation>
    </message>
    <message>
        <source>не определён</source>
        <translation>unknown</translation>
    </message>
    <message>
        <source> Отправитель пришедшего пакета: %1.</source>
        <translation> Sender of the packet that arrived: %1.</translation>
    </message>
    <message>
        <source>Результат: NAT не обнаружен, проверка не нужна.</source>
        <translation>Result: no NAT found, no check needed.</translation>
    </message>
    <message>
        <source>Для SIP-телефона: устройства в этой сети связываются напрямую.</source>
        <translation>For a SIP phone: devices in this network talk to each other directly.</translation>
    </message>
    <message>
        <source>Результат: пакет дошёл, отправитель виден по внешнему адресу (Hairpinning поддерживается).</source>
        <translation>Result: the packet arrived, the sender shows its external address (hairpinning supported).</translation>
    </message>
    <message>
        <source>Для SIP-телефона: два телефона за этим NAT слышат друг друга и при звонке через внешние адреса.</source>
        <translation>For a SIP phone: two phones behind this NAT hear each other also when calling through their external addresses.</translation>
    </message>
    <message>
        <source>Результат: пакет дошёл, но отправитель виден с другим внешним портом или адресом, чем сообщил STUN (Hairpinning поддерживается, с другим внешним портом).</source>
        <translation>Result: the packet arrived, but the sender shows a different external port or address than STUN reported (hairpinning supported, with another external port).</translation>
    </message>
    <message>
        <source>Для SIP-телефона: два телефона за этим NAT связываются через внешние адреса, если принимают голос с того адреса и порта, откуда он пришёл (симметричный RTP).</source>
        <translation>For a SIP phone: two phones behind this NAT reach each other through their external addresses if they accept voice from the address and port it came from (symmetric RTP).</translation>
    </message>
    <message>
        <source>Результат: пакет дошёл, но отправитель виден по внутреннему адресу (Hairpinning без внешнего адреса отправителя).</source>
        <translation>Result: the packet arrived, but the sender shows its internal address (hairpinning without the sender&apos;s external address).</translation>
    </message>
    <message>
        <source>Для SIP-телефона: при звонке между двумя телефонами за этим NAT голос может идти только в одну сторону.</source>
        <translation>For a SIP phone: in a call between two phones behind this NAT, voice may go one way only.</translation>
    </message>
    <message>
        <source>Результат: пакеты не дошли ни в одну сторону (Hairpinning не поддерживается).</source>
        <translation>Result: packets did not arrive in either direction (hairpinning not supported).</translation>
    </message>
    <message>
        <source>Для SIP-телефона: два телефона за этим NAT не услышат друг друга при звонке через внешние адреса; для внутренних звонков нужен медиа-прокси провайдера или SIP-сервер в локальной сети.</source>
        <translation>For a SIP phone: two phones behind this NAT will not hear each other when calling through their external addresses; internal calls need the provider&apos;s media proxy or a SIP server in the local network.</translation>
    </message>
    <message>
        <source>Пара портов RTP/RTCP</source>
        <translation>RTP/RTCP port pair</translation>
    </message>
    <message>
        <source>Что измерено: внешние порты чётного локального порта и следующего за ним.</source>
        <translation>Measured: the external ports of an even local port and the next one.</translation>
    </message>
    <message>
        <source>Результат: не удалось занять на компьютере пару свободных соседних портов.</source>
        <translation>Result: could not take a pair of free adjacent ports on the computer.</translation>
    </message>
    <message>
        <source>Для SIP-телефона: проверка не выполнена.</source>
        <translation>For a SIP phone: the check was not run.</translation>
    </message>
    <message>
        <source>Что измерено: локальные порты %1 и %2, их внешние порты %3 и %4.</source>
        <translation>Measured: local ports %1 and %2, their external ports %3 and %4.</translation>
    </message>
    <message>
        <source>Результат: порты сохранены — %1 (port preservation); чётность сохранена — %2 (port parity); порты соседние — %3 (port contiguity).</source>
        <translation>Result: ports preserved — %1 (port preservation); parity preserved — %2 (port parity); ports adjacent — %3 (port contiguity).</translation>
    </message>
    <message>
        <source>Для SIP-телефона: RTP и RTCP придут на пару портов N и N+1, как ожидает собеседник.</source>
        <translation>For a SIP phone: RTP and RTCP arrive on the port pair N and N+1, as the peer expects.</translation>
    </message>
    <message>
        <source>Для SIP-телефона: RTCP может не дойти — внешний порт RTCP не равен внешнему порту RTP плюс один. Включите на телефоне rtcp-mux (RTP и RTCP на одном порту), если он это умеет.</source>
        <translation>For a SIP phone: RTCP may not arrive — the external RTCP port is not the external RTP port plus one. Turn on rtcp-mux on the phone (RTP and RTCP on one port) if it supports it.</translation>
    </message>
    <message>
        <source>Время жизни неиспользуемого отображения UDP</source>
        <translation>Lifetime of an idle UDP mapping</translation>
    </message>
    <message>
        <source>Что измерено: доходят ли пакеты сервера до отображений, простоявших без трафика %1, %2, %3 … с (до %4 с); не дошедший пакет проверяется ещё раз на другом отображении того же простоя, и проверка прекращается, только если не дойдёт и он.</source>
        <translation>Measured: whether the server&apos;s packets reach mappings left without traffic for %1, %2, %3 … s (up to %4 s); a packet that does not arrive is checked once more on another mapping with the same idle time, and the check stops only if that one does not arrive either.</translation>
    </message>
    <message>
        <source>Результат: у компьютера внешний адрес, и входящие пакеты проходят без фильтрации — ни NAT, ни межсетевой экран не хранят отображение, время жизни измерять не нужно.</source>
        <translation>Result: the computer has an external address and incoming packets pass unfiltered — neither a NAT nor a firewall keeps a mapping, there is no lifetime to measure.</translation>
    </message>
    <message>
        <source>Для SIP-телефона: keep-alive-пакеты для удержания отображения не нужны.</source>
        <translation>For a SIP phone: no keep-alive packets are needed to hold a mapping.</translation>
    </message>
    <message>
        <source>Результат: проверку здесь провести нельзя — </source>
        <translation>Result: the check cannot be run here — </translation>
    </message>
    <message>
        <source>Для SIP-телефона: время жизни отображения здесь не измерить; держите на телефоне отправку keep-alive включённой.</source>
        <translation>For a SIP phone: the mapping lifetime cannot be measured here; keep keep-alives turned on in the phone.</translation>
    </message>
    <message>
        <source>межсетевой экран хранит</source>
        <translation>the firewall keeps</translation>
    </message>
    <message>
        <source>NAT хранит</source>
        <translation>the NAT keeps</translation>
    </message>
    <message>
        <source>Результат: %1 неиспользуемое отображение не меньше %2 с, но меньше %3 с (NAT mapping timer).</source>
        <translation>Result: %1 an idle mapping for at least %2 s, but less than %3 s (NAT mapping timer).</translation>
    </message>
    <message>
        <source>Результат: %1 неиспользуемое отображение меньше %2 с (NAT mapping timer).</source>
        <translation>Result: %1 an idle mapping for less than %2 s (NAT mapping timer).</translation>
    </message>
    <message>
        <source>Результат: %1 неиспользуемое отображение не меньше %2 с (NAT mapping timer).</source>
        <translation>Result: %1 an idle mapping for at least %2 s (NAT mapping timer).</translation>
    </message>
    <message>
        <source>Результат: проверка остановлена; отображение жило не меньше %1 с.</source>
        <translation>Result: the check was stopped; the mapping lived at least %1 s.</translation>
    </message>
    <message>
        <source>Для SIP-телефона: для совета проверку нужно провести до конца.</source>
        <translation>For a SIP phone: the check has to run to its end to give advice.</translation>
    </message>
    <message>
        <source>Для SIP-телефона: без трафика отображение забывается, и входящие вызовы перестают доходить. Настройте на телефоне отправку keep-alive (или перерегистрацию) не реже чем раз в %1 с — это половина %2, с округлением вниз до 5 с: запас на случай потери одного keep-alive-пакета.</source>
        <translation>For a SIP phone: without traffic the mapping is forgotten and incoming calls stop arriving. Set the phone to send keep-alives (or re-register) at least every %1 s — that is half of %2, rounded down to 5 s: a margin in case one keep-alive packet is lost.</translation>
    </message>
    <message>
        <source>простоя, после которого отображения уже не было</source>
        <translation>the idle time after which the mapping was already gone</translation>
    </message>
    <message>
        <source>самого долгого простоя, который отображение пережило</source>
        <translation>the longest idle time the mapping survived</translation>
    </message>
    <message>
        <source>Результат: проверка остановлена.</source>
        <translation>Result: the check was stopped.</translation>
    </message>
    <message>
        <source>сервер не поддерживает этот тест</source>
        <translation>the server does not support this test</translation>
    </message>
</context>
<context>
    <name>ExtendedNatLifetime</name>
    <message>
        <source>NAT выдаёт сокетам компьютера разные внешние адреса (%1 и %2)</source>
        <translation>the NAT gives the computer&apos;s sockets different external addresses (%1 and %2)</translation>
    </message>
    <message>
        <source>Время жизни отображения: проверка фильтрации</source>
        <translation>Mapping lifetime: checking the filtering</translation>
    </message>
    <message>
        <source>сервер отвечает не на порт из RESPONSE-PORT, а на порт отправителя</source>
        <translation>the server answers to the sender&apos;s port, not to the port in RESPONSE-PORT</translation>
    </message>
    <message>
        <source>ответ пришёл не с %1, куда был отправлен запрос, а с %2</source>
        <translation>the answer came not from %1, where the request went, but from %2</translation>
    </message>
    <message>
        <source>ответ на запрос с RESPONSE-PORT не пришёл</source>
        <translation>no answer to the request with RESPONSE-PORT</translation>
    </message>
    <message>
        <source>Время жизни отображения: подготовка сокетов</source>
        <translation>Mapping lifetime: preparing the sockets</translation>
    </message>
    <message>
        <source>Время жизни отображения: проверка сервера</source>
        <translation>Mapping lifetime: checking the server</translation>
    </message>
    <message>
        <source>Время жизни отображения: ожидание %1 с без трафика</source>
        <translation>Mapping lifetime: waiting %1 s without traffic</translation>
    </message>
</context>
<context>
    <name>ExtendedNatTest</name>
    <message>
        <source>адрес %1 не ответил</source>
        <translation>address %1 did not answer</translation>
    </message>
    <message>
        <source>ответ пришёл не с %1, куда был отправлен запрос, а с %2</source>
        <translation>the answer came not from %1, where the request went, but from %2</translation>
    </message>
    <message>
        <source>в ответе нет OTHER-ADDRESS — второго адреса сервера</source>
        <translation>the answer has no OTHER-ADDRESS — the server&apos;s second address</translation>
    </message>
    <message>
        <source>второй адрес сервера %1 не отличается от основного</source>
        <translation>the server&apos;s second address %1 is the same as its main one</translation>
    </message>
    <message>
        <source>Тест остановлен</source>
        <translation>Test stopped</translation>
    </message>
    <message>
        <source>Тест завершён</source>
        <translation>Test finished</translation>
    </message>
    <message>
        <source>Отображение адресов: запрос на основной адрес сервера</source>
        <translation>Address mapping: request to the server&apos;s main address</translation>
    </message>
    <message>
        <source>Отображение адресов: запрос на второй адрес сервера</source>
        <translation>Address mapping: request to the server&apos;s second address</translation>
    </message>
    <message>
        <source>Отображение адресов: запрос на второй адрес и порт сервера</source>
        <translation>Address mapping: request to the server&apos;s second address and port</translation>
    </message>
    <message>
        <source>Фильтрация: запрос на основной адрес сервера</source>
        <translation>Filtering: request to the server&apos;s main address</translation>
    </message>
    <message>
        <source>Фильтрация: ответ с другого адреса и порта сервера</source>
        <translation>Filtering: answer from the server&apos;s other address and port</translation>
    </message>
    <message>
        <source>Фильтрация: ответ с другого порта сервера</source>
        <translation>Filtering: answer from the server&apos;s other port</translation>
    </message>
    <message>
        <source>Петля через NAT: внешние адреса двух сокетов</source>
        <translation>Loop through the NAT: external addresses of two sockets</translation>
    </message>
    <message>
        <source>Петля через NAT: пакеты на внешние адреса друг друга</source>
        <translation>Loop through the NAT: packets to each other&apos;s external addresses</translation>
    </message>
    <message>
        <source>Пара портов RTP/RTCP</source>
        <translation>RTP/RTCP port pair</translation>
    </message>
</context>
<context>
    <name>ExtendedNatWindow</name>
    <message>
        <source>Расширенный тест NAT</source>
        <translation>Extended NAT test</translation>
    </message>
    <message>
        <source>Нажмите «Начать тест».</source>
        <translation>Press &quot;Start test&quot;.</translation>
    </message>
    <message>
        <source>Начать тест</source>
        <translation>Start test</translation>
    </message>
    <message>
        <source>Остановить</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>Закрыть</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>Тест остановлен.</source>
        <translation>Test stopped.</translation>
    </message>
    <message>
        <source>Тест завершён.</source>
        <translation>Test finished.</translation>
    </message>
    <message>
        <source>Время жизни отображения</source>
        <translation>Mapping lifetime</translation>
    </message>
    <message>
        <source>Время &amp;жизни отображения</source>
        <translation>Mapping &amp;lifetime</translation>
    </message>
    <message>
        <source>Ход текущей проверки</source>
        <translation>Progress of the current check</translation>
    </message>
    <message>
        <source>Ход поиска времени жизни отображения</source>
        <translation>Progress of the mapping lifetime search</translation>
    </message>
    <message>
        <source>поиск окончен</source>
        <translation>search finished</translation>
    </message>
    <message>
        <source>Остальные проверки окончены, идёт поиск времени жизни отображения</source>
        <translation>The other checks are finished; the mapping lifetime search is running</translation>
    </message>
    <message>
        <source>остановлен</source>
        <translation>stopped</translation>
    </message>
</context>
<context>
    <name>ExtendedPathsFindings</name>
    <message>
        <source>Число NAT на пути (двойной NAT, NAT оператора)</source>
        <translation>Number of NATs on the path (double NAT, carrier-grade NAT)</translation>
    </message>
    <message>
        <source>Протоколы управления портами (UPnP IGD, NAT-PMP, PCP)</source>
        <translation>Port control protocols (UPnP IGD, NAT-PMP, PCP)</translation>
    </message>
    <message>
        <source>Качество голосового тракта</source>
        <translation>Voice path quality</translation>
    </message>
    <message>
        <source>SIP-серверы домена, как их находит телефон (RFC 3263)</source>
        <translation>The domain&apos;s SIP servers as a phone finds them (RFC 3263)</translation>
    </message>
</context>
<context>
    <name>ExtendedPathsReport</name>
    <message>
        <source>Расширенный тест NAT</source>
        <translation>Extended NAT test</translation>
    </message>
</context>
<context>
    <name>ExtendedPlots</name>
    <message>
        <source>время от начала, с</source>
        <translation>time since start, s</translation>
    </message>
    <message>
        <source>мс</source>
        <translation>ms</translation>
    </message>
    <message>
        <source>ответ</source>
        <translation>answer</translation>
    </message>
    <message>
        <source>потеря</source>
        <translation>loss</translation>
    </message>
    <message>
        <source>медиана</source>
        <translation>median</translation>
    </message>
    <message>
        <source>срок буфера джиттера</source>
        <translation>jitter buffer deadline</translation>
    </message>
    <message>
        <source>простой, с</source>
        <translation>idle time, s</translation>
    </message>
    <message>
        <source>дошёл</source>
        <translation>arrived</translation>
    </message>
    <message>
        <source>потерян</source>
        <translation>lost</translation>
    </message>
    <message>
        <source>Голосовой поток: время туда и обратно</source>
        <translation>Voice stream: round-trip time</translation>
    </message>
    <message>
        <source>Поиск времени жизни отображения</source>
        <translation>Search for the mapping lifetime</translation>
    </message>
    <message>
        <source>: нет данных</source>
        <translation>: no data</translation>
    </message>
    <message>
        <source>%1: отправлено %2, получено %3, медиана %4 мс, 95 %% %5 мс, срок буфера джиттера %6 мс</source>
        <translation>%1: sent %2, received %3, median %4 ms, 95 %% %5 ms, jitter buffer deadline %6 ms</translation>
    </message>
    <message>
        <source>%1: пакеты доходили после простоя до %2 с</source>
        <translation>%1: packets arrived after idle times up to %2 s</translation>
    </message>
    <message>
        <source>, потерян после %1 с</source>
        <translation>, lost after %1 s</translation>
    </message>
    <message>
        <source>, keep-alive раз в %1 с</source>
        <translation>, keep-alive every %1 s</translation>
    </message>
</context>
<context>
    <name>ExtendedReport</name>
    <message>
        <source>Расширенный тест NAT</source>
        <translation>Extended NAT test</translation>
    </message>
</context>
<context>
    <name>ExtendedSectionDns</name>
    <message>
        <source>Запросы DNS: NAPTR, SRV, A и AAAA</source>
        <translation>DNS queries: NAPTR, SRV, A and AAAA</translation>
    </message>
    <message>
        <source>Проверка сервера %1 из %2</source>
        <translation>Checking server %1 of %2</translation>
    </message>
    <message>
        <source>нет ответа</source>
        <translation>no answer</translation>
    </message>
</context>
<context>
    <name>ExtendedSectionNat</name>
    <message>
        <source>Поиск маршрутизаторов на пути</source>
        <translation>Looking for the routers on the path</translation>
    </message>
    <message>
        <source>Поиск узла с адресом %1</source>
        <translation>Looking for the hop with address %1</translation>
    </message>
</context>
<context>
    <name>ExtendedSectionPorts</name>
    <message>
        <source>Запрос к UPnP IGD</source>
        <translation>Query to UPnP IGD</translation>
    </message>
    <message>
        <source>Запрос NAT-PMP и PCP</source>
        <translation>NAT-PMP and PCP query</translation>
    </message>
</context>
<context>
    <name>ExtendedSectionSip</name>
    <message>
        <source>Проверка SIP через маршрутизатор (копия запроса с сервера)</source>
        <translation>SIP through the router (the server&apos;s copy of the request)</translation>
    </message>
</context>
<context>
    <name>ExtendedSectionVoice</name>
    <message>
        <source>Проверка голосового тракта (%1 с)</source>
        <translation>Checking the voice path (%1 s)</translation>
    </message>
    <message>
        <source>Запрос внешнего адреса у STUN-сервера</source>
        <translation>Asking the STUN server for the external address</translation>
    </message>
</context>
<context>
    <name>ExtendedSummary</name>
    <message>
        <source>NAT нет</source>
        <translation>no NAT</translation>
    </message>
    <message>
        <source>не зависит от адресата</source>
        <translation>independent of the destination</translation>
    </message>
    <message>
        <source>зависит от адреса</source>
        <translation>depends on the address</translation>
    </message>
    <message>
        <source>зависит от адреса и порта</source>
        <translation>depends on the address and port</translation>
    </message>
    <message>
        <source>: STUN не поможет, нужен outbound proxy</source>
        <translation>: STUN will not help, an outbound proxy is needed</translation>
    </message>
    <message>
        <source>: телефон должен отправлять первым</source>
        <translation>: the phone must send first</translation>
    </message>
    <message>
        <source>не измерено</source>
        <translation>not measured</translation>
    </message>
    <message>
        <source>Петля через NAT</source>
        <translation>Loop through the NAT</translation>
    </message>
    <message>
        <source>поддерживается</source>
        <translation>supported</translation>
    </message>
    <message>
        <source>поддерживается, с другим внешним портом</source>
        <translation>supported, with another external port</translation>
    </message>
    <message>
        <source>не поддерживается: звонки между телефонами этой сети через сервер</source>
        <translation>not supported: calls between phones of this network go through the server</translation>
    </message>
    <message>
        <source>виден внутренний адрес: возможен односторонний звук</source>
        <translation>internal address visible: one-way audio possible</translation>
    </message>
    <message>
        <source>Пара портов RTP/RTCP</source>
        <translation>RTP/RTCP port pair</translation>
    </message>
    <message>
        <source>порты сохраняются</source>
        <translation>ports preserved</translation>
    </message>
    <message>
        <source>пара сохраняется</source>
        <translation>pair preserved</translation>
    </message>
    <message>
        <source>пара не сохраняется: включите rtcp-mux на телефоне</source>
        <translation>pair not preserved: turn on rtcp-mux on the phone</translation>
    </message>
    <message>
        <source>Время жизни отображения</source>
        <translation>Mapping lifetime</translation>
    </message>
    <message>
        <source>ничто не хранит отображение: keep-alive не нужен</source>
        <translation>nothing keeps a mapping: no keep-alive needed</translation>
    </message>
    <message>
        <source>не меньше %1 с</source>
        <translation>at least %1 s</translation>
    </message>
    <message>
        <source>keep-alive не реже чем раз в %1 с</source>
        <translation>keep-alive at least every %1 s</translation>
    </message>
    <message>
        <source>Число NAT на пути</source>
        <translation>Number of NATs on the path</translation>
    </message>
    <message>
        <source>один NAT</source>
        <translation>one NAT</translation>
    </message>
    <message>
        <source>NAT не обнаружен</source>
        <translation>no NAT found</translation>
    </message>
    <message>
        <source>двойной NAT</source>
        <translation>double NAT</translation>
    </message>
    <message>
        <source>NAT оператора (CGNAT): входящие звонки только через keep-alive</source>
        <translation>carrier-grade NAT (CGNAT): incoming calls only through keep-alives</translation>
    </message>
    <message>
        <source>не удалось определить</source>
        <translation>could not be determined</translation>
    </message>
    <message>
        <source>Управление портами</source>
        <translation>Port control</translation>
    </message>
    <message>
        <source>маршрутизатор не предлагает</source>
        <translation>the router does not offer any</translation>
    </message>
    <message>
        <source>Качество голосового тракта</source>
        <translation>Voice path quality</translation>
    </message>
    <message>
        <source>вернулось меньше половины пакетов</source>
        <translation>less than half of the packets came back</translation>
    </message>
    <message>
        <source>, хорошо</source>
        <translation>, good</translation>
    </message>
    <message>
        <source>, удовлетворительно</source>
        <translation>, fair</translation>
    </message>
    <message>
        <source>, плохо</source>
        <translation>, poor</translation>
    </message>
    <message>
        <source>SIP-серверы домена</source>
        <translation>SIP servers of the domain</translation>
    </message>
    <message>
        <source>отвечают: %1 из %2</source>
        <translation>answering: %1 of %2</translation>
    </message>
    <message>
        <source>ни один сервер не ответил</source>
        <translation>no server answered</translation>
    </message>
    <message>
        <source>серверы не найдены</source>
        <translation>no servers found</translation>
    </message>
    <message>
        <source>SIP через маршрутизатор</source>
        <translation>SIP through the router</translation>
    </message>
    <message>
        <source>сервер не поддерживает проверку</source>
        <translation>the server does not support the check</translation>
    </message>
    <message>
        <source>маршрутизатор переписывает SIP (SIP ALG)</source>
        <translation>the router rewrites SIP (SIP ALG)</translation>
    </message>
    <message>
        <source>SIP изменяется по пути</source>
        <translation>SIP is changed on the way</translation>
    </message>
    <message>
        <source>SIP проходит без изменений</source>
        <translation>SIP passes unchanged</translation>
    </message>
    <message>
        <source>в порядке</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>нужна настройка</source>
        <translation>needs setting up</translation>
    </message>
    <message>
        <source>проблема</source>
        <translation>problem</translation>
    </message>
    <message>
        <source>нет данных</source>
        <translation>no data</translation>
    </message>
    <message>
        <source>Отображение адресов</source>
        <translation>Address mapping</translation>
    </message>
    <message>
        <source>Фильтрация входящих</source>
        <translation>Incoming filtering</translation>
    </message>
    <message>
        <source>Отключите SIP ALG на маршрутизаторе</source>
        <translation>Turn off SIP ALG on the router</translation>
    </message>
    <message>
        <source>Серверы провайдера не отвечают: проверьте, не блокирует ли их маршрутизатор или сеть</source>
        <translation>The provider&apos;s servers do not answer: check whether the router or the network blocks them</translation>
    </message>
    <message>
        <source>Настройте keep-alive не реже чем раз в %1 с</source>
        <translation>Set keep-alives to at least every %1 s</translation>
    </message>
    <message>
        <source>Для звонков внутри сети используйте SIP-прокси провайдера, а не прямые адреса</source>
        <translation>For calls within the network use the provider&apos;s SIP proxy, not direct addresses</translation>
    </message>
    <message>
        <source>Отключите STUN на телефоне и используйте outbound proxy провайдера</source>
        <translation>Turn off STUN on the phone and use the provider&apos;s outbound proxy</translation>
    </message>
    <message>
        <source>Линия теряет или задерживает слишком много пакетов: обратитесь к провайдеру Интернета</source>
        <translation>The line loses or delays too many packets: contact your Internet provider</translation>
    </message>
    <message>
        <source>Включите на телефоне keep-alive: за двумя NAT входящие звонки держатся только на нём</source>
        <translation>Turn on keep-alives on the phone: behind two NATs incoming calls depend on them</translation>
    </message>
    <message>
        <source>Включите rtcp-mux на телефоне</source>
        <translation>Turn on rtcp-mux on the phone</translation>
    </message>
    <message>
        <source>Измерить не удалось: см. подробности ниже</source>
        <translation>Could not be measured: see the details below</translation>
    </message>
    <message>
        <source>Всё в порядке</source>
        <translation>All OK</translation>
    </message>
    <message>
        <source>не проверен</source>
        <translation>not checked</translation>
    </message>
    <message>
        <source>Отключите IPv6 в телефоне: серверы провайдера по IPv6 недоступны</source>
        <translation>Turn IPv6 off on the phone: the provider&apos;s servers cannot be reached over IPv6</translation>
    </message>
</context>
<context>
    <name>ExtendedSummaryView</name>
    <message>
        <source>Главное действие</source>
        <translation>Main action</translation>
    </message>
    <message>
        <source>Сводка результатов</source>
        <translation>Summary of results</translation>
    </message>
    <message>
        <source>Оценка</source>
        <translation>Rating</translation>
    </message>
    <message>
        <source>Проверка</source>
        <translation>Check</translation>
    </message>
    <message>
        <source>Результат</source>
        <translation>Result</translation>
    </message>
</context>
<context>
    <name>Ipv6Advice</name>
    <message>
        <source>%1 с</source>
        <translation>%1 s</translation>
    </message>
    <message>
        <source>Интервал keep-alive для IPv6 не измерен.</source>
        <translation>The keep-alive interval for IPv6 was not measured.</translation>
    </message>
    <message>
        <source>Keep-alive для IPv6 — не реже чем раз в %1</source>
        <translation>Keep-alive for IPv6: at least once every %1</translation>
    </message>
    <message>
        <source>, как и для IPv4.</source>
        <translation>, the same as for IPv4.</translation>
    </message>
    <message>
        <source> (для IPv4 — %1).</source>
        <translation> (for IPv4: %1).</translation>
    </message>
    <message>
        <source>IPv6 недоступен</source>
        <translation>IPv6 not available</translation>
    </message>
    <message>
        <source>У компьютера нет маршрута IPv6 по умолчанию: телефон будет работать по IPv4.</source>
        <translation>The computer has no IPv6 default route: a phone will use IPv4.</translation>
    </message>
    <message>
        <source>У компьютера нет глобального адреса IPv6: телефон будет работать по IPv4.</source>
        <translation>The computer has no global IPv6 address: a phone will use IPv4.</translation>
    </message>
    <message>
        <source>IPv6 не работает</source>
        <translation>IPv6 is broken</translation>
    </message>
    <message>
        <source>Серверы провайдера недостижимы по IPv6, хотя IPv6 на компьютере настроен. Отключите IPv6 в телефоне или используйте IPv4-адрес сервера.</source>
        <translation>The provider&apos;s servers cannot be reached over IPv6, although IPv6 is configured on the computer. Turn IPv6 off on the phone or use the server&apos;s IPv4 address.</translation>
    </message>
    <message>
        <source>IPv6 не проверен</source>
        <translation>IPv6 not checked</translation>
    </message>
    <message>
        <source>IPv6 на компьютере настроен, но у провайдера не задан адрес IPv6: проверить работу телефона по IPv6 нечем.</source>
        <translation>IPv6 is configured on the computer, but no IPv6 address of the provider is set: there is nothing to test a phone&apos;s IPv6 against.</translation>
    </message>
    <message>
        <source>IPv6 работает через NAT66</source>
        <translation>IPv6 works through NAT66</translation>
    </message>
    <message>
        <source>Адрес IPv6 транслируется так же, как в IPv4, поэтому у IPv6 нет преимуществ: подходит любой протокол. </source>
        <translation>The IPv6 address is translated just as in IPv4, so IPv6 has no advantage: either family will do. </translation>
    </message>
    <message>
        <source>IPv6 работает</source>
        <translation>IPv6 works</translation>
    </message>
    <message>
        <source>Префикс меняется без изменения порта (NPTv6), SIP и RTP работают как без трансляции. </source>
        <translation>The prefix is rewritten and the port kept (NPTv6): SIP and RTP work as without translation. </translation>
    </message>
    <message>
        <source>Адрес телефона виден серверу без трансляции. </source>
        <translation>The server sees the phone&apos;s address untranslated. </translation>
    </message>
    <message>
        <source>Входящие пакеты IPv6 не фильтруются, keep-alive для межсетевого экрана не нужен.</source>
        <translation>Inbound IPv6 packets are not filtered: no keep-alive is needed for the firewall.</translation>
    </message>
    <message>
        <source>Нужно только поддерживать открытым межсетевой экран маршрутизатора. </source>
        <translation>Only the router&apos;s firewall has to be kept open. </translation>
    </message>
</context>
<context>
    <name>Ipv6Findings</name>
    <message>
        <source>Трансляция адресов: </source>
        <translation>Address translation: </translation>
    </message>
    <message>
        <source>Запрос STUN Binding по IPv6 к %1 с %2: </source>
        <translation>STUN Binding request over IPv6 to %1 from %2: </translation>
    </message>
    <message>
        <source>ответа нет.</source>
        <translation>no answer.</translation>
    </message>
    <message>
        <source>сервер видит %1.</source>
        <translation>the server sees %1.</translation>
    </message>
    <message>
        <source>Трансляция адресов: не определена (сервер назвал адрес не IPv6).</source>
        <translation>Address translation: unknown (the server named an address that is not IPv6).</translation>
    </message>
    <message>
        <source>Трансляция адресов: нет, адрес и порт телефона видны серверу как есть.</source>
        <translation>Address translation: none, the server sees the phone&apos;s address and port as they are.</translation>
    </message>
    <message>
        <source>Трансляция адресов: NPTv6 (RFC 6296) — меняется только префикс сети, порт сохраняется; SIP и RTP работают как без трансляции.</source>
        <translation>Address translation: NPTv6 (RFC 6296): only the network prefix is rewritten and the port is kept; SIP and RTP work as without translation.</translation>
    </message>
    <message>
        <source>Трансляция адресов: NAT66 — адрес заменяется, как в IPv4, порт %1; телефону нужны те же меры, что за NAT IPv4 (STUN, keep-alive).</source>
        <translation>Address translation: NAT66: the address is replaced as in IPv4, the port is %1; a phone needs the same measures as behind an IPv4 NAT (STUN, keep-alive).</translation>
    </message>
    <message>
        <source>сохраняется</source>
        <translation>kept</translation>
    </message>
    <message>
        <source>меняется</source>
        <translation>changed</translation>
    </message>
    <message>
        <source>Эхо-запросы ICMPv6 к %1: </source>
        <translation>ICMPv6 echo requests to %1: </translation>
    </message>
    <message>
        <source>система не дала открыть сокет ICMPv6.</source>
        <translation>the system did not allow an ICMPv6 socket.</translation>
    </message>
    <message>
        <source>ответов %1 из %2</source>
        <translation>%1 of %2 answered</translation>
    </message>
    <message>
        <source>, средняя задержка %1 мс</source>
        <translation>, average delay %1 ms</translation>
    </message>
    <message>
        <source>, джиттер %1 мс</source>
        <translation>, jitter %1 ms</translation>
    </message>
    <message>
        <source>Сведения об IPv6 недоступны: система не ответила на запрос адресов и маршрутов.</source>
        <translation>IPv6 details unavailable: the system did not answer the query for addresses and routes.</translation>
    </message>
    <message>
        <source>IPv6 на компьютере нет (нет маршрута IPv6 по умолчанию и глобальных адресов): телефон будет работать по IPv4.</source>
        <translation>The computer has no IPv6 (no IPv6 default route and no global addresses): a phone will use IPv4.</translation>
    </message>
    <message>
        <source>Маршрут IPv6 по умолчанию: </source>
        <translation>IPv6 default route: </translation>
    </message>
    <message>
        <source>есть, через %1</source>
        <translation>present, via %1</translation>
    </message>
    <message>
        <source>Глобальные адреса, временные (RFC 8981): </source>
        <translation>Global addresses, temporary (RFC 8981): </translation>
    </message>
    <message>
        <source>Глобальные адреса, постоянные: </source>
        <translation>Global addresses, stable: </translation>
    </message>
    <message>
        <source>Только локальные адреса: ULA (fc00::/7) — %1, локальные для канала — %2.</source>
        <translation>Local addresses only: ULA (fc00::/7): %1, link-local: %2.</translation>
    </message>
    <message>
        <source>адрес IPv6 сервера не задан</source>
        <translation>the server&apos;s IPv6 address is not set</translation>
    </message>
</context>
<context>
    <name>Ipv6Section</name>
    <message>
        <source>Адреса и маршруты IPv6</source>
        <translation>IPv6 addresses and routes</translation>
    </message>
    <message>
        <source>Запрос STUN по IPv6</source>
        <translation>STUN request over IPv6</translation>
    </message>
    <message>
        <source>Эхо-запросы ICMPv6</source>
        <translation>ICMPv6 echo requests</translation>
    </message>
    <message>
        <source>Межсетевой экран IPv6</source>
        <translation>IPv6 firewall</translation>
    </message>
    <message>
        <source> — у сервера нет второго адреса IPv6.</source>
        <translation>: the server has no second IPv6 address.</translation>
    </message>
    <message>
        <source>не проверялся</source>
        <translation>not checked</translation>
    </message>
    <message>
        <source>ответ %1 на OPTIONS за %2 мс</source>
        <translation>OPTIONS answered %1 in %2 ms</translation>
    </message>
    <message>
        <source>соединение TLS за %1 мс</source>
        <translation>TLS handshake done in %1 ms</translation>
    </message>
    <message>
        <source>соединение TCP за %1 мс</source>
        <translation>TCP connected in %1 ms</translation>
    </message>
    <message>
        <source>нет ответа</source>
        <translation>no answer</translation>
    </message>
    <message>
        <source>нет ответа (%1)</source>
        <translation>no answer (%1)</translation>
    </message>
    <message>
        <source>Серверы SIP провайдера по IPv6 (записи AAAA, RFC 3263), OPTIONS по UDP и соединения TCP и TLS:</source>
        <translation>Provider&apos;s SIP servers over IPv6 (AAAA records, RFC 3263): OPTIONS over UDP, TCP and TLS connections:</translation>
    </message>
    <message>
        <source>Проверка сервера SIP по IPv6: %1 из %2</source>
        <translation>Checking SIP server over IPv6: %1 of %2</translation>
    </message>
    <message>
        <source>система не открыла сокет UDP для IPv6</source>
        <translation>the system could not open an IPv6 UDP socket</translation>
    </message>
</context>
<context>
    <name>LeadingNumber</name>
    <message>
        <source>Неверный номер порта !!!<byte value="xd"/>
Порт должен быть целым числом от 1 до 65535.</source>
        <translation>Invalid port number !!!<byte value="xd"/>
The port must be a whole number from 1 to 65535.</translation>
    </message>
</context>
<context>
    <name>MainMenu</name>
    <message>
        <source>Благодарности:</source>
        <translation>Thanks:</translation>
    </message>
    <message>
        <source>авторам стандартов SIP и STUN из рабочих групп IETF,</source>
        <translation>to the authors of the SIP and STUN standards in the IETF working groups,</translation>
    </message>
    <message>
        <source>разработчикам библиотеки Qt,</source>
        <translation>to the developers of the Qt library,</translation>
    </message>
    <message>
        <source>разработчикам сетевой подсистемы ядра Linux и iproute2,</source>
        <translation>to the developers of the Linux kernel&apos;s network stack and iproute2,</translation>
    </message>
    <message>
        <source>а также многочисленным партнерам,</source>
        <translation>and to the many partners</translation>
    </message>
    <message>
        <source>которые используют данную программу.</source>
        <translation>who use this program.</translation>
    </message>
    <message>
        <source>Повторить тест</source>
        <translation>Repeat test</translation>
    </message>
    <message>
        <source>Проверка проброса портов</source>
        <translation>Port forwarding check</translation>
    </message>
    <message>
        <source>Тест STUN серверов</source>
        <translation>STUN server test</translation>
    </message>
    <message>
        <source>Тест поддержки DNS SRV</source>
        <translation>DNS SRV support test</translation>
    </message>
    <message>
        <source>Пинг-тест</source>
        <translation>Ping test</translation>
    </message>
    <message>
        <source>Расширенный тест NAT</source>
        <translation>Extended NAT test</translation>
    </message>
    <message>
        <source>&amp;Сохранить отчёт…</source>
        <translation>&amp;Save report…</translation>
    </message>
    <message>
        <source>&amp;Копировать отчёт</source>
        <translation>&amp;Copy report</translation>
    </message>
    <message>
        <source>Полезные ссылки</source>
        <translation>Useful links</translation>
    </message>
    <message>
        <source>Проверка скорости Интернета %1</source>
        <translation>Internet speed test %1</translation>
    </message>
    <message>
        <source>Показать внешний IP адрес</source>
        <translation>Show external IP address</translation>
    </message>
    <message>
        <source>Показать сетевые интерфейсы</source>
        <translation>Show network interfaces</translation>
    </message>
    <message>
        <source>О программе</source>
        <translation>About</translation>
    </message>
    <message>
        <source>Выход</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>Закрыть</source>
        <translation>Close</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Параметры NATа</source>
        <translation>NAT parameters</translation>
    </message>
    <message>
        <source>Внешний адрес</source>
        <translation>External address</translation>
    </message>
    <message>
        <source>Неопределен</source>
        <translation>Unknown</translation>
    </message>
    <message>
        <source>Тип используемого NATа</source>
        <translation>NAT type in use</translation>
    </message>
    <message>
        <source>Поддержка SIP протокола</source>
        <translation>SIP protocol support</translation>
    </message>
    <message>
        <source>Отсутствует</source>
        <translation>Absent</translation>
    </message>
    <message>
        <source>Поддержка UPnP</source>
        <translation>UPnP support</translation>
    </message>
    <message>
        <source>Распределение портов</source>
        <translation>Port allocation</translation>
    </message>
    <message>
        <source>Неизвестно</source>
        <translation>Unknown</translation>
    </message>
    <message>
        <source>Совпадающий порт (Preserves port)</source>
        <translation>Preserved port (Preserves port)</translation>
    </message>
    <message>
        <source>Сетевые интерфейсы</source>
        <translation>Network interfaces</translation>
    </message>
    <message>
        <source>Качество Интернета</source>
        <translation>Internet quality</translation>
    </message>
    <message>
        <source>Рекомендации по подключению</source>
        <translation>Connection recommendations</translation>
    </message>
    <message>
        <source>Меню</source>
        <translation>Menu</translation>
    </message>
    <message>
        <source>Выход</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>Идет процесс тестирования...</source>
        <translation>Testing in progress...</translation>
    </message>
    <message>
        <source>Неопределенный</source>
        <translation>Unknown</translation>
    </message>
</context>
<context>
    <name>MainWindowProbes</name>
    <message>
        <source>Присутствует</source>
        <translation>Present</translation>
    </message>
    <message>
        <source>Отсутствует</source>
        <translation>Absent</translation>
    </message>
</context>
<context>
    <name>NatClassifier</name>
    <message>
        <source>Протокол UDP заблокирован</source>
        <translation>UDP blocked</translation>
    </message>
    <message>
        <source>Открытый Интернет</source>
        <translation>Open Internet</translation>
    </message>
    <message>
        <source>Симметричный UDP фаервол</source>
        <translation>Symmetric UDP firewall</translation>
    </message>
    <message>
        <source>Симметричный</source>
        <translation>Symmetric NAT</translation>
    </message>
    <message>
        <source>Полный конус</source>
        <translation>Full cone</translation>
    </message>
    <message>
        <source>Ограниченный конус</source>
        <translation>Restricted cone</translation>
    </message>
    <message>
        <source>Ограниченный конус по порту</source>
        <translation>Port restricted cone</translation>
    </message>
</context>
<context>
    <name>PassageWindow</name>
    <message>
        <source>Отправлять запрос порта </source>
        <translation>Send the request from port </translation>
    </message>
    <message>
        <source>Порт </source>
        <translation>Port </translation>
    </message>
    <message>
        <source> занят другой программой !!!</source>
        <translation> is used by another program !!!</translation>
    </message>
    <message>
        <source> недоступен: у программы нет прав на открытие этого порта !!!</source>
        <translation> is not available: the program has no right to open this port !!!</translation>
    </message>
    <message>
        <source>Ошибка открытия порта </source>
        <translation>Cannot open port </translation>
    </message>
    <message>
        <source>Проверка прохождения пакетов</source>
        <translation>Packet passage check</translation>
    </message>
    <message>
        <source>Данный тест предназначен для проверки прохождения входящих пакетов при организации проброса портов на НАТе или настройке фаервола.</source>
        <translation>This test checks that incoming packets get through when you set up port forwarding on the NAT or configure a firewall.</translation>
    </message>
    <message>
        <source>Внешний адрес</source>
        <translation>External address</translation>
    </message>
    <message>
        <source>Порт для входящих пакетов</source>
        <translation>Port for incoming packets</translation>
    </message>
    <message>
        <source>Отправлять запрос с произвольного порта</source>
        <translation>Send the request from any port</translation>
    </message>
    <message>
        <source>Отправить запрос</source>
        <translation>Send request</translation>
    </message>
    <message>
        <source>Очистить</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>Закрыть</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>) пришел пакет на порт </source>
        <translation>) a packet arrived on port </translation>
    </message>
</context>
<context>
    <name>PingSeries</name>
    <message>
        <source>Запрос № </source>
        <translation>Request no. </translation>
    </message>
    <message>
        <source> на </source>
        <translation> to </translation>
    </message>
    <message>
        <source> - время ответа </source>
        <translation> - reply time </translation>
    </message>
    <message>
        <source> мс - статус </source>
        <translation> ms - status </translation>
    </message>
    <message>
        <source> мс.</source>
        <translation> ms.</translation>
    </message>
    <message>
        <source> мс.)</source>
        <translation> ms.)</translation>
    </message>
</context>
<context>
    <name>PingStatistics</name>
    <message>
        <source> мс - </source>
        <translation> ms - </translation>
    </message>
    <message>
        <source>Итоговые данные</source>
        <translation>Summary</translation>
    </message>
    <message>
        <source>Средняя задержка - неизвестна</source>
        <translation>Average delay - unknown</translation>
    </message>
    <message>
        <source>Средняя задержка - </source>
        <translation>Average delay - </translation>
    </message>
    <message>
        <source>Потерянных пакетов - </source>
        <translation>Lost packets - </translation>
    </message>
    <message>
        <source>Джиттер - отсутствует</source>
        <translation>Jitter - none</translation>
    </message>
    <message>
        <source>Джиттер - </source>
        <translation>Jitter - </translation>
    </message>
    <message>
        <source> мс)</source>
        <translation> ms)</translation>
    </message>
</context>
<context>
    <name>PingWindow</name>
    <message>
        <source>Пинг-тест</source>
        <translation>Ping test</translation>
    </message>
    <message>
        <source>Пинг</source>
        <translation>Ping</translation>
    </message>
    <message>
        <source>Запрос № 9999 на 255.255.255.255 - время ответа 1000 мс - статус  [ip dest port non trouve]</source>
        <translation>Request no. 9999 to 255.255.255.255 - reply time 1000 ms - status  [ip dest port non trouve]</translation>
    </message>
    <message>
        <source>Средняя задержка</source>
        <translation>Average delay</translation>
    </message>
    <message>
        <source>Ошибок</source>
        <translation>Errors</translation>
    </message>
    <message>
        <source>Джиттер</source>
        <translation>Jitter</translation>
    </message>
    <message>
        <source>Закрыть</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>Пинг на адрес </source>
        <translation>Ping to address </translation>
    </message>
</context>
<context>
    <name>PortMapping</name>
    <message>
        <source>нет ответа</source>
        <translation>no answer</translation>
    </message>
    <message>
        <source>маршрутизатор ответил, но описание устройства лежит на другом адресе (%1): его не запрашивали</source>
        <translation>the router answered, but its device description is on another address (%1): it was not requested</translation>
    </message>
    <message>
        <source>маршрутизатор ответил, но описание устройства не получено</source>
        <translation>the router answered, but the device description was not received</translation>
    </message>
    <message>
        <source>есть, устройство InternetGatewayDevice:%1, служба %2:%3</source>
        <translation>yes, device InternetGatewayDevice:%1, service %2:%3</translation>
    </message>
    <message>
        <source>, внешний адрес не сообщён</source>
        <translation>, external address not reported</translation>
    </message>
    <message>
        <source>, внешний адрес </source>
        <translation>, external address </translation>
    </message>
    <message>
        <source>нет</source>
        <translation>no</translation>
    </message>
    <message>
        <source>есть, внешний адрес </source>
        <translation>yes, external address </translation>
    </message>
    <message>
        <source>есть, внешний адрес не сообщён (код ошибки %1)</source>
        <translation>yes, external address not reported (error code %1)</translation>
    </message>
    <message>
        <source>есть</source>
        <translation>yes</translation>
    </message>
    <message>
        <source>Запросы только читали сведения: ни одного проброса порта на маршрутизаторе не создано.</source>
        <translation>The requests only read information: no port forwarding was created on the router.</translation>
    </message>
    <message>
        <source>Телефон или программа, поддерживающие эти протоколы, могут сами открыть порты на маршрутизаторе; если NAT на пути не один, открытый порт доступен только из сети следующего NAT.</source>
        <translation>A phone or program that supports these protocols can open ports on the router itself; if there is more than one NAT on the path, an opened port is reachable only from the next NAT&apos;s network.</translation>
    </message>
    <message>
        <source>Телефон не сможет сам открыть порты на маршрутизаторе: настройте проброс портов вручную или используйте STUN и регулярные keep-alive.</source>
        <translation>The phone cannot open ports on the router itself: set up port forwarding by hand, or use STUN and regular keep-alives.</translation>
    </message>
    <message>
        <source>маршрутизатор ответил, но описание устройства больше 64 КиБ: оно отклонено</source>
        <translation>the router answered, but its device description is over 64 KiB: it was refused</translation>
    </message>
    <message>
        <source>, внешний адрес не получен: ответ больше 64 КиБ отклонён</source>
        <translation>, external address not received: an answer over 64 KiB was refused</translation>
    </message>
</context>
<context>
    <name>Report</name>
    <message>
        <source>Реальный IP адрес</source>
        <translation>Public IP address</translation>
    </message>
    <message>
        <source>Внимание компьютер подключен к интернету через NAT и имеет локальный адрес несовместимый с RFC1918. Это может привести к проблемам при использовании некоторых типов подключения.</source>
        <translation>Warning: the computer is connected to the Internet through NAT and has a local address outside RFC1918. This may cause problems with some kinds of connection.</translation>
    </message>
    <message>
        <source>Для подключения через симметричный UDP фаервол или NAT возможны следующие варианты: </source>
        <translation>For a connection through a symmetric UDP firewall or NAT the options are: </translation>
    </message>
    <message>
        <source>  1. Проброс UDP портов на NATе на данный компьютер или подключаемое устройство (информацию об используемых портах смотрите в документации на оборудование или ПО, обычно используются 5060 для сигнализации и 16384-16394 для голосовых пакетов).  В настройках оборудования или ПО обязательно должен быть указан внешний IP-адрес NATа.</source>
        <translation>  1. Forward UDP ports on the NAT to this computer or to the device being connected (for the ports used see the documentation of the equipment or software; usually 5060 for signalling and 16384-16394 for voice packets).  The NAT&apos;s external IP address must be set in the settings of the equipment or software.</translation>
    </message>
    <message>
        <source>  2. Использование специального OutBoundProxy или универсального SIP-прокси типа CommuniGate Pro. В этом варианте в конфигурации необходимо указать в качестве внешнего адреса, какой либо адрес из диапазона выделенного RFC 1918 (например, 192.168.1.1).</source>
        <translation>  2. Use a dedicated OutBoundProxy or a general SIP proxy such as CommuniGate Pro. In this case set any address from the RFC 1918 range (for example, 192.168.1.1) as the external address in the configuration.</translation>
    </message>
    <message>
        <source>  3. Использование TURN или ICE технологии, если устройство или ПО поддерживает данный метод подключения.</source>
        <translation>  3. Use TURN or ICE, if the device or software supports this way of connecting.</translation>
    </message>
    <message>
        <source>  В варианте 2 и 3 голосовой трафик будет проходить через прокси или TURN/ICE сервер, что может негативно повлиять на качество связи.</source>
        <translation>  With options 2 and 3 the voice traffic goes through the proxy or TURN/ICE server, which may affect call quality.</translation>
    </message>
    <message>
        <source>4. Обнаружена поддержка UPnP, если подключаемое устройство или ПО ее поддерживает, то рекомендуется включить использование UPnP.</source>
        <translation>4. UPnP support was found; if the device or software being connected supports it, turn UPnP on.</translation>
    </message>
    <message>
        <source>При использовании конусного NAT-а возможны следующие варианты подключения: </source>
        <translation>With a cone NAT the connection options are: </translation>
    </message>
    <message>
        <source>  1. Использование STUN технологии.</source>
        <translation>  1. Use STUN.</translation>
    </message>
    <message>
        <source>  В варианте 3 и 4 голосовой трафик будет проходить через прокси или TURN/ICE сервер, что может негативно повлиять на качество связи.</source>
        <translation>  With options 3 and 4 the voice traffic goes through the proxy or TURN/ICE server, which may affect call quality.</translation>
    </message>
    <message>
        <source>При использовании NATа с ограниченным конусом возможны следующие варианты подключения: </source>
        <translation>With a restricted cone NAT the connection options are: </translation>
    </message>
    <message>
        <source>  1. Использование STUN технологии. Если при работе будут возникать проблемы с односторонней слышимостью, то необходимо использовать другие варианты подключения.</source>
        <translation>  1. Use STUN. If one-way audio occurs, use one of the other options.</translation>
    </message>
    <message>
        <source>Обнаружена поддержка трансляции протокола SIP на NATе. В данном случае SIP-оборудование или ПО необходимо настроить обычным образом, как если бы оно было установлено на реальном (публичном) адресе.</source>
        <translation>SIP translation support was found on the NAT. Set up the SIP equipment or software in the usual way, as if it were on a public address.</translation>
    </message>
    <message>
        <source>Если при данном варианте подключения будут возникать проблемы (иногда бывает при некорректной реализации обработки SIP на NATе), то рекомендуется отключить на NATе поддержку SIP (SIP ALG) и запустить тест повторно.</source>
        <translation>If this kind of connection gives problems (this happens when the NAT handles SIP incorrectly), turn off SIP support on the NAT (SIP ALG) and run the test again.</translation>
    </message>
    <message>
        <source>Компьютер имеет реальный IP адрес. При  установке на этом компьютере программного телефона его нужно сконфигурировать без использования STUN сервера в соответствии со стандартными настройками.</source>
        <translation>The computer has a public IP address. A softphone installed on this computer should be set up with the standard settings, without a STUN server.</translation>
    </message>
    <message>
        <source>Компьютер имеет реальный IP адрес, однако подключен через NAT. При  установке на этом компьютере программного телефона его нужно сконфигурировать с использованием форварда портов. В некоторых вариантах возможно использование STUN сервера.</source>
        <translation>The computer has a public IP address but is connected through NAT. A softphone installed on this computer should be set up with port forwarding. In some cases a STUN server can be used.</translation>
    </message>
    <message>
        <source>Не удалось провести тестирование NATа.</source>
        <translation>The NAT test could not be run.</translation>
    </message>
    <message>
        <source>Обнаружен NAT с совпадающим распределением портов. При использовании нескольких SIP-устройств, расположенных за таким NATом, рекомендуется настраивать их на использование разных локальных портов для сигнализации.</source>
        <translation>A NAT that preserves ports was found. If several SIP devices sit behind such a NAT, set them to use different local ports for signalling.</translation>
    </message>
    <message>
        <source>Доступ в Интернет отсутствует!</source>
        <translation>No Internet access!</translation>
    </message>
    <message>
        <source>Качество Интернет канала отличное!</source>
        <translation>The Internet connection is excellent!</translation>
    </message>
    <message>
        <source>Качество Интернет канала хорошее!</source>
        <translation>The Internet connection is good!</translation>
    </message>
    <message>
        <source>Качество Интернет канала удовлетворительное!</source>
        <translation>The Internet connection is fair!</translation>
    </message>
    <message>
        <source>Качество Интернет канала неудовлетворительное!</source>
        <translation>The Internet connection is poor!</translation>
    </message>
    <message>
        <source>Достаточно большая задержка.</source>
        <translation>Rather high delay.</translation>
    </message>
    <message>
        <source>Очень большая задержка.</source>
        <translation>Very high delay.</translation>
    </message>
    <message>
        <source>Наблюдается джиттер.</source>
        <translation>Jitter present.</translation>
    </message>
    <message>
        <source>Очень большой джиттер.</source>
        <translation>Very high jitter.</translation>
    </message>
    <message>
        <source>Присутствуют ошибки.</source>
        <translation>Errors present.</translation>
    </message>
    <message>
        <source>Достаточно большая задержка и присутствуют ошибки.</source>
        <translation>Rather high delay and errors present.</translation>
    </message>
    <message>
        <source>Очень большая задержка и присутствуют ошибки.</source>
        <translation>Very high delay and errors present.</translation>
    </message>
    <message>
        <source>Наблюдается джиттер и присутствуют ошибки.</source>
        <translation>Jitter and errors present.</translation>
    </message>
    <message>
        <source>Очень большой джиттер и присутствуют ошибки.</source>
        <translation>Very high jitter and errors present.</translation>
    </message>
    <message>
        <source>Очень большой процент ошибок.</source>
        <translation>Very high error rate.</translation>
    </message>
    <message>
        <source>Совпадающий порт (Preserves port)</source>
        <translation>Preserved port (Preserves port)</translation>
    </message>
    <message>
        <source> Случайный порт (Random port)</source>
        <translation> Random port (Random port)</translation>
    </message>
    <message>
        <source>Порт UDP 5060 - прошел</source>
        <translation>UDP port 5060 - passed</translation>
    </message>
    <message>
        <source>Порт UDP 5060 - не прошел</source>
        <translation>UDP port 5060 - failed</translation>
    </message>
    <message>
        <source>Порт TCP 5060 - прошел</source>
        <translation>TCP port 5060 - passed</translation>
    </message>
    <message>
        <source>Порт TCP 5060 - не прошел</source>
        <translation>TCP port 5060 - failed</translation>
    </message>
    <message>
        <source>Компьютер не подключен к сети</source>
        <translation>The computer is not connected to a network</translation>
    </message>
    <message>
        <source>Не удалось определить внешний адрес NATа!</source>
        <translation>Could not determine the NAT&apos;s external address!</translation>
    </message>
    <message>
        <source>Ошибка при конфигурации основного сетевого интерфейса (IP 0.0.0.0)!</source>
        <translation>The main network interface is misconfigured (IP 0.0.0.0)!</translation>
    </message>
    <message>
        <source>Данный компьютер имеет реальный IP адрес.</source>
        <translation>This computer has a public IP address.</translation>
    </message>
    <message>
        <source>Задержка:</source>
        <translation>Delay:</translation>
    </message>
    <message>
        <source>, Потери:</source>
        <translation>, Loss:</translation>
    </message>
    <message>
        <source>, Джиттер:</source>
        <translation>, Jitter:</translation>
    </message>
    <message>
        <source>Интерфейсы: </source>
        <translation>Interfaces: </translation>
    </message>
    <message>
        <source>Внешний адрес NATа: </source>
        <translation>NAT external address: </translation>
    </message>
</context>
<context>
    <name>ReportHtml</name>
    <message>
        <source>&lt;p class=&quot;stopped&quot;&gt;Тест не завершён: остановлен на шаге «%1».&lt;/p&gt;
</source>
        <translation>&lt;p class=&quot;stopped&quot;&gt;Test not finished: stopped at step &quot;%1&quot;.&lt;/p&gt;
</translation>
    </message>
    <message>
        <source>Сведения о тесте</source>
        <translation>About the test</translation>
    </message>
    <message>
        <source>Сообщения</source>
        <translation>Messages</translation>
    </message>
</context>
<context>
    <name>ReportJson</name>
    <message>
        <source>начальная проверка</source>
        <translation>start-up check</translation>
    </message>
    <message>
        <source>эхо-запросы ICMP</source>
        <translation>ICMP echo requests</translation>
    </message>
    <message>
        <source>ожидание ответов STUN, SIP и UPnP</source>
        <translation>waiting for STUN, SIP and UPnP answers</translation>
    </message>
    <message>
        <source>отчёт</source>
        <translation>report</translation>
    </message>
    <message>
        <source>проверка прохождения пакетов</source>
        <translation>packet passage check</translation>
    </message>
    <message>
        <source>запрос DNS SRV</source>
        <translation>DNS SRV query</translation>
    </message>
    <message>
        <source>окно пинга</source>
        <translation>ping window</translation>
    </message>
    <message>
        <source>расширенный тест NAT</source>
        <translation>extended NAT test</translation>
    </message>
    <message>
        <source>разделы расширенного теста</source>
        <translation>extended test sections</translation>
    </message>
    <message>
        <source>STUN %1:%2, SIP %1:%3, %4:%3, пинг %5, домен %6</source>
        <translation>STUN %1:%2, SIP %1:%3, %4:%3, ping %5, domain %6</translation>
    </message>
    <message>
        <source>Начало теста</source>
        <translation>Test started</translation>
    </message>
    <message>
        <source>Длительность</source>
        <translation>Duration</translation>
    </message>
    <message>
        <source> с</source>
        <translation> s</translation>
    </message>
    <message>
        <source>Версия программы</source>
        <translation>Program version</translation>
    </message>
    <message>
        <source>Проверенные адреса</source>
        <translation>Addresses tested</translation>
    </message>
    <message>
        <source>Тест не завершён: остановлен на шаге «%1».
</source>
        <translation>Test not finished: stopped at step &quot;%1&quot;.
</translation>
    </message>
    <message>
        <source>Сообщения</source>
        <translation>Messages</translation>
    </message>
</context>
<context>
    <name>ReportSaving</name>
    <message>
        <source>Текст (*.txt)</source>
        <translation>Text (*.txt)</translation>
    </message>
    <message>
        <source>Страница HTML (*.html)</source>
        <translation>HTML page (*.html)</translation>
    </message>
    <message>
        <source>Не удалось сохранить отчёт в файл %1<byte value="xd"/>
%2 !!!</source>
        <translation>Could not save the report to file %1<byte value="xd"/>
%2 !!!</translation>
    </message>
    <message>
        <source>Сохранить отчёт</source>
        <translation>Save report</translation>
    </message>
    <message>
        <source>Не включать &amp;MAC-адреса</source>
        <translation>Leave out &amp;MAC addresses</translation>
    </message>
    <message>
        <source>Не включать MAC-адреса</source>
        <translation>Leave out MAC addresses</translation>
    </message>
    <message>
        <source>Аппаратные адреса сетевых карт в отчёте заменяются на xx:xx:xx:xx:xx:xx</source>
        <translation>Hardware addresses of network cards are replaced in the report with xx:xx:xx:xx:xx:xx</translation>
    </message>
</context>
<context>
    <name>SipDns</name>
    <message>
        <source>проверен для домена </source>
        <translation>verified for domain </translation>
    </message>
    <message>
        <source>не прошёл проверку</source>
        <translation>failed verification</translation>
    </message>
    <message>
        <source>не прошёл проверку: выдан не для домена </source>
        <translation>failed verification: issued not for domain </translation>
    </message>
    <message>
        <source> (имён в нём нет)</source>
        <translation> (it names no hosts)</translation>
    </message>
    <message>
        <source> (в нём: </source>
        <translation> (it names: </translation>
    </message>
    <message>
        <source>Домен: </source>
        <translation>Domain: </translation>
    </message>
    <message>
        <source>DNS-сервер не ответил: телефон не сможет найти SIP-серверы по имени домена.</source>
        <translation>The DNS server did not answer: the phone will not be able to find the SIP servers by the domain name.</translation>
    </message>
    <message>
        <source>NAPTR: записей %1</source>
        <translation>NAPTR: %1 records</translation>
    </message>
    <message>
        <source> (ни одной для SIP по UDP, TCP или TLS)</source>
        <translation> (none for SIP over UDP, TCP or TLS)</translation>
    </message>
    <message>
        <source>NAPTR: записей нет, телефон запрашивает SRV для UDP, TCP и TLS</source>
        <translation>NAPTR: no records, the phone asks for SRV for UDP, TCP and TLS</translation>
    </message>
    <message>
        <source>записей %1</source>
        <translation>%1 records</translation>
    </message>
    <message>
        <source>записей нет</source>
        <translation>no records</translation>
    </message>
    <message>
        <source>Порядок, в котором телефон обращается к серверам:</source>
        <translation>Order in which the phone tries the servers:</translation>
    </message>
    <message>
        <source>адреса нет</source>
        <translation>no address</translation>
    </message>
    <message>
        <source>не проверялся</source>
        <translation>not checked</translation>
    </message>
    <message>
        <source>не проверялся (IPv6)</source>
        <translation>not checked (IPv6)</translation>
    </message>
    <message>
        <source>отвечает на OPTIONS (%1) за %2 мс</source>
        <translation>answers OPTIONS (%1) in %2 ms</translation>
    </message>
    <message>
        <source>соединение установлено за %1 мс</source>
        <translation>connection established in %1 ms</translation>
    </message>
    <message>
        <source>TLS-соединение установлено за %1 мс, сертификат </source>
        <translation>TLS connection established in %1 ms, certificate </translation>
    </message>
    <message>
        <source>не отвечает</source>
        <translation>does not answer</translation>
    </message>
    <message>
        <source>  серверов не найдено: телефон не сможет зарегистрироваться по имени домена</source>
        <translation>  no servers found: the phone will not be able to register by the domain name</translation>
    </message>
    <message>
        <source>Ни один сервер не ответил: телефон не сможет зарегистрироваться.</source>
        <translation>No server answered: the phone will not be able to register.</translation>
    </message>
    <message>
        <source>Часть серверов не отвечает: телефон потеряет время на попытки, прежде чем дойдёт до работающего сервера.</source>
        <translation>Some servers do not answer: the phone will lose time on attempts before it reaches a working server.</translation>
    </message>
    <message>
        <source>Все проверенные серверы отвечают.</source>
        <translation>All servers checked answer.</translation>
    </message>
</context>
<context>
    <name>SipMirror</name>
    <message>
        <source>строка запроса</source>
        <translation>request line</translation>
    </message>
    <message>
        <source>адрес и порт в SDP</source>
        <translation>address and port in SDP</translation>
    </message>
    <message>
        <source>сервер не поддерживает проверку</source>
        <translation>the server does not support the check</translation>
    </message>
    <message>
        <source>SIP проходит без изменений</source>
        <translation>SIP passes unchanged</translation>
    </message>
    <message>
        <source>маршрутизатор переписывает SIP (SIP ALG): </source>
        <translation>the router rewrites SIP (SIP ALG): </translation>
    </message>
    <message>
        <source>на пути изменены строки SIP (см. ниже), не на внешний адрес NAT</source>
        <translation>SIP lines were changed on the way (see below), not to the NAT&apos;s external address</translation>
    </message>
    <message>
        <source>SIP ALG работает только на порту %1: используйте порт %2</source>
        <translation>SIP ALG works only on port %1: use port %2</translation>
    </message>
    <message>
        <source>TCP не затронут: используйте SIP по TCP</source>
        <translation>TCP is not affected: use SIP over TCP</translation>
    </message>
    <message>
        <source>не отправлено (порт занят или нет соединения)</source>
        <translation>not sent (port in use or no connection)</translation>
    </message>
    <message>
        <source>сервер ответил, но не копией запроса</source>
        <translation>the server answered, but not with a copy of the request</translation>
    </message>
    <message>
        <source>копия запроса не пришла</source>
        <translation>the copy of the request did not arrive</translation>
    </message>
    <message>
        <source>без изменений</source>
        <translation>unchanged</translation>
    </message>
    <message>
        <source>изменено</source>
        <translation>changed</translation>
    </message>
    <message>
        <source> (отправлено с %1:%2, сервер видит %3:%4)</source>
        <translation> (sent from %1:%2, the server sees %3:%4)</translation>
    </message>
    <message>
        <source>(нет)</source>
        <translation>(none)</translation>
    </message>
    <message>
        <source>(удалено)</source>
        <translation>(removed)</translation>
    </message>
    <message>
        <source> (внешний адрес NAT)</source>
        <translation> (NAT external address)</translation>
    </message>
</context>
<context>
    <name>SipMirrorRun</name>
    <message>
        <source>SIP через маршрутизатор</source>
        <translation>SIP through the router</translation>
    </message>
</context>
<context>
    <name>SipRegister</name>
    <message>
        <source>Присутствует</source>
        <translation>Present</translation>
    </message>
    <message>
        <source>Отсутствует</source>
        <translation>Absent</translation>
    </message>
    <message>
        <source>Реальный IP адрес</source>
        <translation>Public IP address</translation>
    </message>
    <message>
        <source>Компьютер не подключен к сети.</source>
        <translation>The computer is not connected to a network.</translation>
    </message>
    <message>
        <source>Ошибка открытия порта 5060 !!!<byte value="xd"/>
Возможно порт занят другой программой.</source>
        <translation>Cannot open port 5060 !!!<byte value="xd"/>
The port may be used by another program.</translation>
    </message>
</context>
<context>
    <name>SocketSet</name>
    <message>
        <source>Ошибка инициализации базового сокета !!!</source>
        <translation>Cannot initialise the base socket !!!</translation>
    </message>
    <message>
        <source>Ошибка создания обработки события для порта !!!</source>
        <translation>Cannot set up event handling for the port !!!</translation>
    </message>
    <message>
        <source>Порт </source>
        <translation>Port </translation>
    </message>
    <message>
        <source> занят другой программой !!!</source>
        <translation> is used by another program !!!</translation>
    </message>
</context>
<context>
    <name>StartupSurvey</name>
    <message>
        <source>IP по умолчанию - </source>
        <translation>Default IP - </translation>
    </message>
    <message>
        <source>Маска подсети - </source>
        <translation>Subnet mask - </translation>
    </message>
    <message>
        <source>из диапазона RFC1918</source>
        <translation>from the RFC1918 range</translation>
    </message>
    <message>
        <source>из общего диапазона</source>
        <translation>from the public range</translation>
    </message>
    <message>
        <source>Основной IP адрес</source>
        <translation>Main IP address</translation>
    </message>
    <message>
        <source>неопределенный</source>
        <translation>unknown</translation>
    </message>
    <message>
        <source>Основной шлюз </source>
        <translation>Default gateway </translation>
    </message>
    <message>
        <source>DNS тест - прошел</source>
        <translation>DNS test - passed</translation>
    </message>
    <message>
        <source>DNS тест - не прошел</source>
        <translation>DNS test - failed</translation>
    </message>
</context>
<context>
    <name>StreamChecks</name>
    <message>
        <source>нет ответа</source>
        <translation>no answer</translation>
    </message>
</context>
<context>
    <name>StunSurvey</name>
    <message>
        <source>Открыт порт - </source>
        <translation>Open port - </translation>
    </message>
    <message>
        <source>Опрос STUN серверов ...</source>
        <translation>Querying STUN servers ...</translation>
    </message>
    <message>
        <source>время ответа </source>
        <translation>reply time </translation>
    </message>
    <message>
        <source> (среднее </source>
        <translation> (average </translation>
    </message>
    <message>
        <source> ) мс. - потерь </source>
        <translation> ) ms. - lost </translation>
    </message>
    <message>
        <source> - внешний адрес и порт </source>
        <translation> - external address and port </translation>
    </message>
</context>
<context>
    <name>StunSurveyWindow</name>
    <message>
        <source>Тест STUN серверов</source>
        <translation>STUN server test</translation>
    </message>
    <message>
        <source>STUN сервер</source>
        <translation>STUN server</translation>
    </message>
    <message>
        <source>порт</source>
        <translation>port</translation>
    </message>
    <message>
        <source>Добавить</source>
        <translation>Add</translation>
    </message>
    <message>
        <source>Закрыть</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>Данный тест веярно опрашивает наиболее известные STUN серверы. STUN сервер, имеющий минимальное время ответа и количество потерь является наиболее оптимальным для вашего местоположения. Следует также обратить внимание, если разные STUN серверы возвращают разный внешний порт, то при такой конфигурации сети STUN технологию лучше не использовать.</source>
        <translation>This test queries the best-known STUN servers one after another. The STUN server with the shortest reply time and the fewest losses is the best one for your location. Note also: if different STUN servers return different external ports, STUN is better not used with this network configuration.</translation>
    </message>
    <message>
        <source>Опрос DNS сервера...</source>
        <translation>Querying the DNS server...</translation>
    </message>
</context>
<context>
    <name>TestRun</name>
    <message>
        <source>Пинг на </source>
        <translation>Ping to </translation>
    </message>
</context>
<context>
    <name>VoiceQuality</name>
    <message>
        <source> мс</source>
        <translation> ms</translation>
    </message>
    <message>
        <source>Пакеты: запросы STUN Binding по %1 байт (дополнены атрибутом SOFTWARE) каждые %2 мс, как голос G.711</source>
        <translation>Packets: STUN Binding requests of %1 bytes (padded with a SOFTWARE attribute) every %2 ms, like G.711 voice</translation>
    </message>
    <message>
        <source>Отправлено пакетов: %1, получено ответов: %2, потери: %3 %, самая длинная серия потерь: %4</source>
        <translation>Packets sent: %1, answers received: %2, loss: %3 %, longest loss burst: %4</translation>
    </message>
    <message>
        <source>Время прохождения туда и обратно: минимум </source>
        <translation>Round-trip time: minimum </translation>
    </message>
    <message>
        <source>, медиана </source>
        <translation>, median </translation>
    </message>
    <message>
        <source>, максимум </source>
        <translation>, maximum </translation>
    </message>
    <message>
        <source>Джиттер (RFC 3550): </source>
        <translation>Jitter (RFC 3550): </translation>
    </message>
    <message>
        <source>Оценка R: неизвестно, MOS: неизвестно (вернулось меньше половины пакетов)</source>
        <translation>R factor: unknown, MOS: unknown (less than half of the packets came back)</translation>
    </message>
    <message>
        <source>Буфер джиттера телефона (допущение): </source>
        <translation>Phone&apos;s jitter buffer (assumed): </translation>
    </message>
    <message>
        <source> — ответы позже </source>
        <translation> — answers later than </translation>
    </message>
    <message>
        <source> от отправки считаются потерянными; таких ответов: %1</source>
        <translation> after sending count as lost; such answers: %1</translation>
    </message>
    <message>
        <source>Для слушателя (одно направление): потери %1 %, BurstR %2. Допущение: потери туда и обратно поровну делятся между направлениями (1 − √(1 − %3 %)), к ним добавлены опоздавшие ответы</source>
        <translation>For the listener (one direction): loss %1 %, BurstR %2. Assumption: round-trip losses split evenly between the directions (1 − √(1 − %3 %)), late answers added to them</translation>
    </message>
    <message>
        <source>Задержка из конца в конец для расчёта: </source>
        <translation>End-to-end delay used for the estimate: </translation>
    </message>
    <message>
        <source>Оценка R по цифрам для слушателя (E-модель ITU-T G.107, G.711 с маскированием потерь): </source>
        <translation>R factor from the listener&apos;s figures (ITU-T G.107 E-model, G.711 with packet loss concealment): </translation>
    </message>
    <message>
        <source>Качество голоса отличное.</source>
        <translation>Voice quality is excellent.</translation>
    </message>
    <message>
        <source>Качество голоса хорошее.</source>
        <translation>Voice quality is good.</translation>
    </message>
    <message>
        <source>Качество голоса удовлетворительное: часть собеседников заметит искажения.</source>
        <translation>Voice quality is fair: some users will notice distortion.</translation>
    </message>
    <message>
        <source>Качество голоса плохое: многие собеседники будут недовольны.</source>
        <translation>Voice quality is poor: many users will be dissatisfied.</translation>
    </message>
    <message>
        <source>Качество голоса очень плохое: разговор будет затруднён.</source>
        <translation>Voice quality is very poor: conversation will be difficult.</translation>
    </message>
</context>
</TS>
