declare
  v emp%rowtype;
  n number := 0;
begin
  dbms_output.enable;
  select * into v from emp where empno = 7839;
  dbms_output.put_line(v.ename || ' ' || v.sal);
  for r in (select ename from emp where deptno = 10 order by ename) loop
    n := n + 1;
    dbms_output.put_line(n || ':' || r.ename);
  end loop;
  select ename into v.ename from emp where empno = -1;
exception
  when no_data_found then
    dbms_output.put_line('ndf ' || sqlcode || ' ' || sqlerrm);
end;