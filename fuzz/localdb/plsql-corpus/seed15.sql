declare
  type rt is record (a number, b varchar2(10));
  type tt is table of rt index by binary_integer;
  t tt; r rt; c sys_refcursor_not; i binary_integer;
  cursor cu(d number) is select ename, sal from emp where deptno = d;
  e exception; pragma exception_init(e, -20001);
begin
  <<outer>>
  for x in cu(10) loop t(t.count + 1).a := x.sal; exit outer when t.count > 2; end loop;
  i := t.first;
  while i is not null loop r := t(i); i := t.next(i); end loop;
  goto done;
  <<done>>
  null;
exception when e or no_data_found then raise; when others then dbms_output.put_line(sqlerrm);
end;