#!/usr/bin/env escript
%% -*- erlang -*-
%% Erlang/OTP's ASN.1 coder (aligned PER) over the plain-ASN.1 export of the message modules: the
%% independent coder that our PER runtime is checked and measured against.
%%
%%   erlang_per.escript crosscheck EXPORT_DIR BEAM_DIR CASES RESULTS
%%     CASES holds one term per case: {Index, Module, Type, OurOctets, Value}. Erlang decodes our
%%     octets and compares what it gets with Value, then encodes Value itself. RESULTS gets one
%%     line per case, "Index HEX ok" with Erlang's octets, or "Index HEX REASON" when something
%%     went wrong (HEX is "-" when Erlang could not encode).
%%   erlang_per.escript bench EXPORT_DIR BEAM_DIR COUNT MODULE TYPE HEX [MODULE TYPE HEX]...
%%     Per value (given as our octets): decodes it once, then times COUNT encodes and COUNT
%%     decodes, three rounds each, and keeps each operation's best round (the figure least
%%     disturbed by the rest of the machine); prints "MODULE TYPE encode_ns=N decode_ns=N", per
%%     operation.
%%
%% The modules of EXPORT_DIR are compiled into BEAM_DIR first where the beam is missing or older
%% than its module. Exits 77 when the ASN.1 application is missing.
-mode(compile).

main(["crosscheck", ExportDir, BeamDir, Cases, Results]) ->
    prepare(ExportDir, BeamDir),
    {ok, Terms} = file:consult(Cases),
    Lines = [check(Case) || Case <- Terms],
    ok = file:write_file(Results, Lines);
main(["bench", ExportDir, BeamDir, Count | Values]) ->
    prepare(ExportDir, BeamDir),
    bench(list_to_integer(Count), Values);
main(_) ->
    io:format(standard_error, "usage: erlang_per.escript crosscheck EXPORT_DIR BEAM_DIR CASES RESULTS~n"
              "       erlang_per.escript bench EXPORT_DIR BEAM_DIR COUNT MODULE TYPE HEX...~n", []),
    halt(2).

%% ---- compiling the export ----

prepare(ExportDir, BeamDir) ->
    case code:which(asn1ct) of
        non_existing ->
            io:format("Erlang's asn1 application not found (Debian package erlang-asn1)~n"),
            halt(77);
        _ ->
            ok
    end,
    case filelib:wildcard(filename:join(ExportDir, "*.asn")) of
        [] ->
            io:format("no exported modules in ~s~n", [ExportDir]),
            halt(1);
        Modules ->
            compile_stale(Modules, ExportDir, BeamDir)
    end,
    true = code:add_patha(BeamDir).

compile_stale(Modules, ExportDir, BeamDir) ->
    ok = filelib:ensure_dir(filename:join(BeamDir, "x")),
    Stale = [Asn || Asn <- Modules, stale(Asn, BeamDir)],
    Compiles = [spawn_monitor(fun() -> exit(compile(Asn, ExportDir, BeamDir)) end) || Asn <- Stale],
    Failed = [Reason || {_, Ref} <- Compiles,
                        Reason <- [receive {'DOWN', Ref, process, _, R} -> R end], Reason =/= ok],
    case Failed of
        [] -> ok;
        _ -> io:format("compiling the export failed: ~p~n", [Failed]), halt(1)
    end.

stale(Asn, BeamDir) ->
    Beam = filename:join(BeamDir, filename:basename(Asn, ".asn") ++ ".beam"),
    filelib:last_modified(Beam) < filelib:last_modified(Asn).

%% Imported modules are read from their sources in EXPORT_DIR, so the order does not matter.
compile(Asn, ExportDir, BeamDir) ->
    asn1ct:compile(Asn, [per, {outdir, BeamDir}, {i, ExportDir}]).

%% ---- the cross-check ----

check({Index, Module, Type, Ours, Value}) ->
    Decoded = try Module:decode(Type, Ours) catch C:E -> {C, E} end,
    Encoded = try Module:encode(Type, Value) catch C2:E2 -> {C2, E2} end,
    Hex = case Encoded of
              {ok, Octets} -> hex(Octets);
              _ -> "-"
          end,
    Note = case {Decoded, Encoded} of
               {{ok, Value}, {ok, _}} -> "ok";
               {{ok, Value}, _} -> ["cannot encode: ", one_line(Encoded)];
               {{ok, Other}, _} -> ["decodes our octets as ", one_line(Other)];
               _ -> ["cannot decode our octets: ", one_line(Decoded)]
           end,
    [integer_to_list(Index), " ", Hex, " ", Note, "\n"].

hex(Octets) ->
    [io_lib:format("~2.16.0B", [Octet]) || <<Octet>> <= Octets].

one_line(Term) ->
    Text = lists:flatten(io_lib:format("~P", [Term, 40])),
    string:join([string:trim(Line) || Line <- string:lexemes(Text, "\n")], " ").

%% ---- the reference figures ----

bench(_, []) ->
    ok;
bench(Count, [Module0, Type0, Hex | More]) ->
    Module = list_to_atom(Module0),
    Type = list_to_atom(Type0),
    Octets = binary:decode_hex(list_to_binary(Hex)),
    {ok, Value} = Module:decode(Type, Octets),
    EncodeNs = per_operation(Count, fun() -> {ok, _} = Module:encode(Type, Value) end),
    DecodeNs = per_operation(Count, fun() -> {ok, _} = Module:decode(Type, Octets) end),
    io:format("~s ~s encode_ns=~.1f decode_ns=~.1f~n", [Module0, Type0, EncodeNs, DecodeNs]),
    bench(Count, More).

per_operation(Count, Operation) ->
    lists:min([round_time(Count, Operation) || _ <- [1, 2, 3]]).

round_time(Count, Operation) ->
    Start = erlang:monotonic_time(nanosecond),
    repeat(Count, Operation),
    (erlang:monotonic_time(nanosecond) - Start) / Count.

repeat(0, _) ->
    ok;
repeat(N, Operation) ->
    Operation(),
    repeat(N - 1, Operation).
