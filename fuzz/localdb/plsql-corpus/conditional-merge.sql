declare n number := 3; c sys_refcursor; v varchar2(30);
begin
$if dbms_db_version.ver_le_11_2 $then null; $elsif $$flag is null and dbms_db_version.version >= 12 $then n := n + $$plsql_line; $else $error 'x' $end $end
merge into dept d using (select n deptno, 'X' dname from dual) s on (d.deptno = s.deptno)
  when matched then update set d.dname = s.dname when not matched then insert (deptno, dname) values (s.deptno, s.dname);
update emp set sal = sal + n where empno = 7839 returning ename into v;
execute immediate 'begin :a := :a + 1; end;' using in out n;
open c for 'select ename from emp where deptno = :d' using 10;
fetch c into v; close c;
insert all into bonus (ename) values (v) into bonus (ename, sal) values ($$plsql_unit, n) select * from dual;
end;
